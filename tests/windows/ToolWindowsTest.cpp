// The two tool windows over a stand-in services table: the layers window
// mirrors a node's chain and writes channel masks at once; the combine window
// maps the slider to the blend ratio and stores it only on "Применить". Both
// go away when another window is activated.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include "CombineFrm.h"
#include "FakeServices.h"
#include "LayersFrm.h"

using namespace mv;
using namespace mv::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Shows `w` and waits until it is the active window (which runs DoActivate).
bool ShowActive(QWidget* w) {
  w->show();
  w->activateWindow();
  return QTest::qWaitForWindowActive(w);
}

// Activates another window and waits until `w` is gone.
bool DeactivateUntilGone(QPointer<QWidget> w) {
  QWidget other;
  other.resize(50, 50);
  other.show();
  other.activateWindow();
  if (!QTest::qWaitForWindowActive(&other)) return false;
  return QTest::qWaitFor([&] { return w.isNull(); }, 2000);
}

void ClickBox(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); }

std::vector<bool> Boxes(const TLayersForm& f) {
  return {f.CheckBox1->isChecked(), f.CheckBox2->isChecked(), f.CheckBox3->isChecked()};
}

class ToolWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    Scheme().Filters = {&negative, &blur};
  }
  TLayersForm* OpenLayers() {
    auto* f = new TLayersForm;
    f->Services = FakeTable();
    f->Image = Scheme().Node;
    f->move(100, 100);
    return f;
  }
  TCombineForm* OpenCombine() {
    auto* f = new TCombineForm;
    f->Services = FakeTable();
    f->Image = Scheme().Node;
    f->move(100, 300);
    return f;
  }
  void TearDown() override { EXPECT_EQ(Scheme().WrongImage, 0); }

  FakeFilter negative{"F_Negative", "Негатив"};
  FakeFilter blur{"F_Blur", "Размытие"};
};

TEST_F(ToolWindows, LayersListMirrorsTheChainOnActivation) {
  Scheme().Chain = {{0, 5}, {1, 7}, {0, 2}};
  QPointer<TLayersForm> f = OpenLayers();
  EXPECT_EQ(f->size(), QSize(171, 120));
  EXPECT_TRUE(f->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(f->windowFlags() & Qt::WindowStaysOnTopHint);
  ASSERT_TRUE(ShowActive(f));

  ASSERT_EQ(f->ComboBox1->count(), 3);
  EXPECT_EQ(f->ComboBox1->itemText(0), "Негатив");
  EXPECT_EQ(f->ComboBox1->itemText(1), "Размытие");
  EXPECT_EQ(f->ComboBox1->itemText(2), "Негатив");
  EXPECT_EQ(f->ComboBox1->currentIndex(), 0);
  EXPECT_THAT(Boxes(*f), ElementsAre(true, false, true));  // mask 5
  // Showing the masks writes nothing.
  EXPECT_THAT(Scheme().MaskWrites, IsEmpty());
  EXPECT_EQ(Scheme().Refreshes, 0);
  delete f;
}

TEST_F(ToolWindows, LayersCheckBoxStoresTheNewMaskAndRefreshes) {
  struct Case {
    const char* name;
    std::uint8_t stored;
    int box;  // 1..3
    std::uint8_t expected;
  };
  for (const Case& c : {Case{"clear Green on 7", 7, 2, 5}, Case{"check Blue on 0", 0, 3, 4},
                        Case{"clear Red on 7", 7, 1, 6}, Case{"check Green on 5", 5, 2, 7},
                        Case{"stray high bits are dropped", 0xF9, 3, 5}}) {
    SCOPED_TRACE(c.name);
    Reset();
    Scheme().Filters = {&negative, &blur};
    Scheme().Chain = {{1, c.stored}};
    TLayersForm* f = OpenLayers();
    ASSERT_TRUE(ShowActive(f));
    QCheckBox* boxes[] = {f->CheckBox1, f->CheckBox2, f->CheckBox3};
    ClickBox(boxes[c.box - 1]);
    ASSERT_EQ(Scheme().MaskWrites.size(), 1u);
    EXPECT_EQ(Scheme().MaskWrites[0].image, Scheme().Node);
    EXPECT_EQ(Scheme().MaskWrites[0].k, 0);
    EXPECT_EQ(Scheme().MaskWrites[0].mask, c.expected);
    EXPECT_EQ(Scheme().Chain[0].mask, c.expected);
    EXPECT_THAT(Scheme().ChainRuns, ElementsAre(Scheme().Node));
    EXPECT_EQ(Scheme().Refreshes, 1);
    delete f;
  }
}

TEST_F(ToolWindows, LayersChoosingAnotherEntryOnlyShowsItsMask) {
  Scheme().Chain = {{0, 7}, {1, 1}, {0, 6}};
  TLayersForm* f = OpenLayers();
  ASSERT_TRUE(ShowActive(f));
  f->ComboBox1->setCurrentIndex(1);
  EXPECT_THAT(Boxes(*f), ElementsAre(true, false, false));
  f->ComboBox1->setCurrentIndex(2);
  EXPECT_THAT(Boxes(*f), ElementsAre(false, true, true));
  EXPECT_THAT(Scheme().MaskWrites, IsEmpty());
  EXPECT_THAT(Scheme().ChainRuns, IsEmpty());
  EXPECT_EQ(Scheme().Chain[0].mask, 7);
  EXPECT_EQ(Scheme().Chain[1].mask, 1);
  // A toggle now goes to the entry shown.
  ClickBox(f->CheckBox1);
  ASSERT_EQ(Scheme().MaskWrites.size(), 1u);
  EXPECT_EQ(Scheme().MaskWrites[0].k, 2);
  EXPECT_EQ(Scheme().Chain[2].mask, 7);
  delete f;
}

TEST_F(ToolWindows, LayersWindowGoesWhenDeactivatedAndKeepsChanges) {
  Scheme().Chain = {{0, 7}};
  QPointer<QWidget> f = OpenLayers();
  ASSERT_TRUE(ShowActive(f));
  ClickBox(static_cast<TLayersForm*>(f.data())->CheckBox3);
  ASSERT_TRUE(DeactivateUntilGone(f));
  EXPECT_EQ(Scheme().Chain[0].mask, 3);
}

TEST_F(ToolWindows, CombineOpensAtTheNodesRatio) {
  struct Case {
    int ratio;
    int position;
    const char* label;
    int changeEvents;
  };
  for (const Case& c : {Case{30, 70, "Текущая вариация: 70/30", 1}, Case{50, 50, "Текущая вариация: 50/50", 0},
                        Case{100, 0, "Текущая вариация: 0/100", 1}}) {
    SCOPED_TRACE(c.ratio);
    Reset();
    Scheme().BlendRatio = c.ratio;
    TCombineForm* f = OpenCombine();
    EXPECT_EQ(f->size(), QSize(241, 83));
    QSignalSpy changes(f->TrackBar, &QSlider::valueChanged);
    ASSERT_TRUE(ShowActive(f));
    EXPECT_EQ(f->TrackBar->value(), c.position);
    EXPECT_EQ(f->Label1->text(), QString(c.label));
    EXPECT_EQ(changes.count(), c.changeEvents);
    EXPECT_THAT(Scheme().RatioWrites, IsEmpty());
    delete f;
  }
}

TEST_F(ToolWindows, CombineAppliesOnlyOnTheButton) {
  Scheme().BlendRatio = 30;
  TCombineForm* f = OpenCombine();
  ASSERT_TRUE(ShowActive(f));
  f->TrackBar->setValue(25);
  EXPECT_EQ(f->Label1->text(), "Текущая вариация: 25/75");
  EXPECT_THAT(Scheme().RatioWrites, IsEmpty());
  EXPECT_EQ(Scheme().Refreshes, 0);

  QTest::mouseClick(f->Button1, Qt::LeftButton);
  EXPECT_THAT(Scheme().RatioWrites, ElementsAre(std::pair{Scheme().Node, 75}));
  EXPECT_EQ(Scheme().Refreshes, 1);

  // Each press applies the current position; the left end is the first source alone.
  f->TrackBar->setValue(0);
  EXPECT_EQ(f->Label1->text(), "Текущая вариация: 0/100");
  QTest::mouseClick(f->Button1, Qt::LeftButton);
  EXPECT_THAT(Scheme().RatioWrites, ElementsAre(std::pair{Scheme().Node, 75}, std::pair{Scheme().Node, 100}));
  EXPECT_EQ(Scheme().BlendRatio, 100);
  EXPECT_EQ(Scheme().Refreshes, 2);
  delete f;
}

TEST_F(ToolWindows, CombineClosedUnappliedLeavesTheRatio) {
  Scheme().BlendRatio = 40;
  TCombineForm* f = OpenCombine();
  ASSERT_TRUE(ShowActive(f));
  f->TrackBar->setValue(90);
  ASSERT_TRUE(DeactivateUntilGone(QPointer<QWidget>(f)));
  EXPECT_THAT(Scheme().RatioWrites, IsEmpty());
  EXPECT_EQ(Scheme().BlendRatio, 40);
}

TEST_F(ToolWindows, CombineWithoutANodeLeavesItsStartText) {
  TCombineForm f;
  f.TrackBar->setValue(10);
  EXPECT_EQ(f.Label1->text(), "Текущая вариация: 50/50");
}

}  // namespace
