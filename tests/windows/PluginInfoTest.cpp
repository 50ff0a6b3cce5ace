// The plug-in information window over a registry of in-process plug-ins:
// the list holds loaders then filters, and a click shows the seven rows of
// the plug-in at that position.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "FakeServices.h"
#include "PluginInfoFrm.h"
#include "PluginManager.h"

using namespace mv;
using namespace mv::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// A registry filled directly, without libraries. It owns what it is given
// (removal deletes through the virtual destructor) and removes it when it goes.
class InProcessRegistry : public TPluginManager {
 public:
  ~InProcessRegistry() override {
    while (GetLoaderCount() > 0) RemoveLoader(0);
    while (GetFilterCount() > 0) RemoveFilter(0);
  }
  void Add(MvFilter* f) { Filters.push_back(TPlugin{nullptr, f}); }
  void Add(MvLoader* l) { Loaders.push_back(TPlugin{nullptr, l}); }
};

std::vector<std::string> Items(const QListWidget& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.count(); ++i) out.push_back(list.item(i)->text().toStdString());
  return out;
}

std::vector<std::string> Rows(const QTableWidget& grid) {
  std::vector<std::string> out;
  for (int r = 0; r < grid.rowCount(); ++r)
    out.push_back(grid.item(r, 0)->text().toStdString() + "=" + grid.item(r, 1)->text().toStdString());
  return out;
}

void ClickItem(QListWidget* list, int row) {
  const QRect r = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

class PluginInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    registry.Add(new FakeFilter("F_Shatter", "Разбиение", "автор фильтра", ""));
    registry.Add(new FakeFilter("F_Blur", "Размытие"));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
  InProcessRegistry registry;
  TPluginInfoForm form{&registry};
};

TEST_F(PluginInfo, FirstFilterWithoutLoadersShowsItsSevenRows) {
  EXPECT_EQ(form.windowTitle(), "Плагины");
  EXPECT_EQ(form.size(), QSize(353, 328));
  EXPECT_EQ(form.ValueListEditor1->horizontalHeaderItem(0)->text(), "Свойство");
  EXPECT_EQ(form.ValueListEditor1->horizontalHeaderItem(1)->text(), "Значение");
  EXPECT_TRUE(form.Button1->isDefault());

  form.FillList();
  EXPECT_THAT(Items(*form.ListBox1), ElementsAre("Разбиение", "Размытие"));
  EXPECT_EQ(form.ValueListEditor1->rowCount(), 0);
  ClickItem(form.ListBox1, 0);
  EXPECT_THAT(Rows(*form.ValueListEditor1),
              ElementsAre("Тип=Фильтр", "Идентификатор=F_Shatter", "Автор=автор фильтра", "Компания=компания",
                          "Права=rights", "Интернет=web", "Почта="));
}

TEST_F(PluginInfo, LoadersComeFirst) {
  registry.Add(new FakeLoader("L_Png", "Изображения PNG"));
  form.FillList();
  EXPECT_THAT(Items(*form.ListBox1), ElementsAre("Изображения PNG", "Разбиение", "Размытие"));
  ClickItem(form.ListBox1, 0);
  EXPECT_THAT(Rows(*form.ValueListEditor1),
              ElementsAre("Тип=Загрузчик", "Идентификатор=L_Png", "Автор=loader author", "Компания=loader company",
                          "Права=loader rights", "Интернет=loader web", "Почта=loader mail"));
  ClickItem(form.ListBox1, 1);
  ASSERT_EQ(form.ValueListEditor1->rowCount(), 7);
  EXPECT_EQ(Rows(*form.ValueListEditor1)[0], "Тип=Фильтр");
  EXPECT_EQ(Rows(*form.ValueListEditor1)[1], "Идентификатор=F_Shatter");
  // The keyboard moves the details too.
  QTest::keyClick(form.ListBox1, Qt::Key_Down);
  EXPECT_EQ(Rows(*form.ValueListEditor1)[1], "Идентификатор=F_Blur");
}

TEST_F(PluginInfo, RefillingSelectsNothingAndKeepsTheLastDetails) {
  form.FillList();
  ClickItem(form.ListBox1, 1);
  const auto shown = Rows(*form.ValueListEditor1);
  ASSERT_EQ(shown.size(), 7u);
  form.accept();

  form.FillList();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(form.ListBox1->count(), 2);
  EXPECT_THAT(form.ListBox1->selectedItems(), IsEmpty());
  EXPECT_EQ(Rows(*form.ValueListEditor1), shown);
}

TEST_F(PluginInfo, GridSplitsAtTheFirstEqualsSign) {
  form.AddRow("Права=a=b");
  form.AddRow("Почта=");
  EXPECT_EQ(form.ValueListEditor1->item(0, 0)->text(), "Права");
  EXPECT_EQ(form.ValueListEditor1->item(0, 1)->text(), "a=b");
  EXPECT_EQ(form.ValueListEditor1->item(1, 1)->text(), "");
}

}  // namespace
