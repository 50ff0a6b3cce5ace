// The main window, headless: start-up with and without plug-ins, the menus and
// their look, every command against the model, the status line and its timer,
// and the shutdown that finalises every plug-in. Real plug-in libraries from
// the fixture folder are copied into a temporary "Plugins" folder; dialogs and
// message boxes are answered by ScriptedPrompts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QListWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include "AboutFrm.h"
#include "AppInfo.h"
#include "BoardSurface.h"
#include "HostServices.h"
#include "ImageViewFrm.h"
#include "MainFrm.h"
#include "MenuDrawing.h"
#include "MenuStyle.h"
#include "MvText.h"
#include "PluginInfoFrm.h"
#include "PluginManager.h"
#include "SchemeManager.h"
#include "SchemeView.h"
#include "TestSupport.h"

using namespace mv;
using namespace mv::test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

const std::string kIdle = kIdleText;
const char* const kLoaderWarning =
    "Ни один плагин-загрузчик изображения не был найден! \n"
    "Проверьте наличие в папке Plugins плагинов, отвечающие за загрузку изображений!";
const char* const kFilterWarning =
    "Ни один плагин-фильтр не был найден! \n"
    "Проверьте наличие в папке Plugins плагинов, отвечающие за фильтрацию изображений!";

/// A window started in a fresh folder whose "Plugins" holds the given
/// fixtures (fixture name, file name). The prompts are installed first, the
/// window is destroyed first, then the current directory comes back.
class Workbench {
 public:
  explicit Workbench(std::initializer_list<std::pair<std::string, std::string>> plugins, bool makeFolder = true) {
    if (makeFolder) {
      std::filesystem::create_directory(dir.path() / "Plugins");
      for (const auto& [fixture, as] : plugins) CopyFixture(fixture, dir.path() / "Plugins", as);
    }
    std::filesystem::current_path(dir.path());
    form = new TMainForm;
  }
  ~Workbench() { delete form.data(); }

  TSchemeManager& scheme() { return *form->SchemeManager; }
  std::string status() const { return form->InformationLabel->text().toStdString(); }

  TempDir dir;
  CurrentDirGuard guard;
  ScriptedPrompts prompts;
  QPointer<TMainForm> form;
};

/// Appends a plain w x h node of one colour at (left, top).
void AddNode(TSchemeManager& scheme, int w, int h, MvPixel colour, int left = 0, int top = 0) {
  std::vector<MvPixel> block(static_cast<std::size_t>(w) * h, colour);
  std::vector<MvPixel*> columns(w);
  for (int x = 0; x < w; ++x) columns[x] = block.data() + static_cast<std::size_t>(x) * h;
  scheme.AddImageAt(columns.data(), w, h, left, top);
}

std::vector<std::string> Captions(const QMenu* menu) {
  std::vector<std::string> out;
  for (const QAction* a : menu->actions()) out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
  return out;
}

std::vector<std::string> Chain(TSchemeManager& scheme, int image) {
  std::vector<std::string> out;
  for (int k = 0; k < scheme.GetChainLength(image); ++k) out.push_back(scheme.GetFilterIdentifier(image, k));
  return out;
}

std::vector<std::string> MessageTexts(const ScriptedPrompts& p) {
  std::vector<std::string> out;
  for (const auto& m : p.messages) out.push_back(m.text);
  return out;
}

QAction* Item(TMainForm* form, const char* name) {
  auto* a = form->findChild<QAction*>(name);
  EXPECT_NE(a, nullptr) << name;
  return a;
}

/// Emits the timer's tick as if its interval had passed.
void Tick(QTimer* timer) { QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection); }

// ---- start-up ---------------------------------------------------------------------

class EmptyStart : public ::testing::TestWithParam<bool> {};

TEST_P(EmptyStart, WarnsLoaderThenFilterAndDisablesTheLoaderCommands) {
  Workbench w({}, /*makeFolder=*/GetParam());
  EXPECT_EQ(w.form->windowTitle().toStdString(), kApplicationTitle);
  EXPECT_EQ(w.status(), kIdle);
  EXPECT_TRUE(w.form->ProgressBar->isHidden());
  EXPECT_THAT(w.prompts.messages, IsEmpty()) << "the warnings come at the first show";

  w.form->show();
  ASSERT_EQ(w.prompts.messages.size(), 2u);
  EXPECT_EQ(w.prompts.messages[0].text, kLoaderWarning);
  EXPECT_EQ(w.prompts.messages[1].text, kFilterWarning);
  for (const auto& m : w.prompts.messages) {
    EXPECT_EQ(m.icon, MessageIcon::Warning);
    EXPECT_EQ(m.buttons, MessageButtons::Ok);
    EXPECT_EQ(m.owner, nullptr);
  }
  for (const char* name : {"N9", "N28", "N35", "mnuPopup7"}) EXPECT_FALSE(Item(w.form, name)->isEnabled()) << name;
  for (const char* name : {"N2", "N3", "N4", "N5", "N7", "N10", "N12", "N30"})
    EXPECT_TRUE(Item(w.form, name)->isEnabled()) << name;
  EXPECT_THAT(w.form->mnuFilters->actions(), IsEmpty());

  w.form->hide();
  w.form->show();
  EXPECT_EQ(w.prompts.messages.size(), 2u) << "the warnings are shown once";
}

INSTANTIATE_TEST_SUITE_P(FolderPresentOrMissing, EmptyStart, ::testing::Bool());

TEST(StartUp, FiltersWithoutLoadersWarnOnceAndFillTheFilterMenuInRegistryOrder) {
  Workbench w({{"filter_b", "a.plugin"}, {"pixel_invert", "b.plugin"}, {"filter_a", "c.plugin"}});
  // The plug-ins reported their start through the window's services table
  // while the folder loaded, so the table and the window were wired first.
  EXPECT_EQ(w.status(), "init:F_Alpha");
  w.form->show();
  EXPECT_THAT(MessageTexts(w.prompts), ElementsAre(kLoaderWarning));

  const QList<QAction*> items = w.form->mnuFilters->actions();
  ASSERT_EQ(items.size(), 3);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(items[k]->data().toInt(), k);
    EXPECT_EQ(items[k]->text().toStdString(), Cp1251ToUtf8(w.form->PluginManager->GetFilter(k)->GetName()));
  }
  EXPECT_EQ(items[0]->text().toStdString(), "filter F_Beta");
  EXPECT_EQ(items[2]->text().toStdString(), "filter F_Alpha");
}

TEST(StartUp, TheModelReportsThroughTheWindowsNotifications) {
  Workbench w({});
  w.scheme().OnStatusText("Чтение проекта");
  EXPECT_EQ(w.status(), "Чтение проекта");
  w.scheme().OnStatusText("");
  EXPECT_EQ(w.status(), kIdle);
  w.scheme().OnProgressMin(5);
  w.scheme().OnProgressMax(40);
  w.scheme().OnProgressPosition(12);
  w.scheme().OnProgressVisible(true);
  EXPECT_FALSE(w.form->ProgressBar->isHidden());
  EXPECT_EQ(w.form->ProgressBar->minimum(), 5);
  EXPECT_EQ(w.form->ProgressBar->maximum(), 40);
  EXPECT_EQ(w.form->ProgressBar->value(), 12);
  w.scheme().OnProgressVisible(false);
  EXPECT_TRUE(w.form->ProgressBar->isHidden());
}

TEST(StartUp, TheStripsAreTheGradientFromButtonFaceTowardsShadow) {
  Workbench w({});
  const SystemColours colours = CurrentSystemColours();
  const QImage tools = w.form->imTools->pixmap().toImage();
  ASSERT_EQ(tools.size(), QSize(632, 42));
  const QImage status = w.form->imStatusBar->pixmap().toImage();
  ASSERT_EQ(status.height(), 21);
  auto expected = [&](int y, int h) {
    MvPixel c = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const int c0 = (colours.BtnFace >> shift) & 0xFF, c1 = (colours.BtnShadow >> shift) & 0xFF;
      c |= static_cast<MvPixel>(c0 - ((c0 - c1) * y) / h) << shift;
    }
    return c;
  };
  for (int y : {0, 20, 41}) {
    EXPECT_EQ(PixelFromQColor(tools.pixelColor(0, y)), expected(y, 42)) << y;
    EXPECT_EQ(PixelFromQColor(tools.pixelColor(631, y)), expected(y, 42)) << y;
  }
  EXPECT_EQ(PixelFromQColor(status.pixelColor(3, 20)), expected(20, 21));
}

TEST(StripGradient, RowZeroIsTheTopColourAndTheLastRowFallsShortOfTheBottom) {
  Bitmap b(5, 42);
  PaintStripGradient(b, 0x00C0C0C0, 0x00808080);
  EXPECT_EQ(b.Pixel(0, 0), 0x00C0C0C0u);
  EXPECT_EQ(b.Pixel(4, 0), 0x00C0C0C0u);
  const MvPixel v = 192 - (64 * 41) / 42;  // 130, never 128
  EXPECT_EQ(b.Pixel(2, 41), v | v << 8 | v << 16);
  Bitmap mixed(3, 4);
  PaintStripGradient(mixed, 0x000A6496, 0x00C8320A);  // channels rising and falling
  // red 150 -> 10, green 100 -> 50, blue 10 -> 200, at y = 3 of 4.
  const MvPixel r = 150 - (140 * 3) / 4, g = 100 - (50 * 3) / 4, bl = 10 - ((10 - 200) * 3) / 4;
  EXPECT_EQ(mixed.Pixel(1, 3), r | g << 8 | bl << 16);  // truncation toward zero both ways
}

// ---- menus ------------------------------------------------------------------------

TEST(Menus, CaptionsShortcutsAndNamesAreThoseOfTheLayout) {
  Workbench w({});
  TMainForm* f = w.form;
  EXPECT_EQ(f->findChild<QMenuBar*>("MainMenu"), f->menuBar());
  std::vector<std::string> top;
  for (const QAction* a : f->menuBar()->actions()) top.push_back(a->text().toStdString());
  EXPECT_THAT(top, ElementsAre("&Файл", "Схема", "Образец", "Фильтры", "Помощь"));
  EXPECT_THAT(Captions(f->findChild<QMenu*>("N1")),
              ElementsAre("&Новый", "&Открыть...", "&Сохранить", "Сохранить к&ак...", "-", "&Выход"));
  EXPECT_THAT(Captions(f->findChild<QMenu*>("N8")),
              ElementsAre("Отображать сетку", "-", "Размер образца", "-", "Добавить изображение...",
                          "Удалить изображение", "-", "Сложение изображений"));
  EXPECT_THAT(Captions(f->findChild<QMenu*>("N17")),
              ElementsAre("Стандарт 160x120", "Стандарт 320x240", "Стандарт 64x64", "Стандарт 128x128",
                          "Стандарт 256x256", "Стандарт 512x512"));
  EXPECT_THAT(Captions(f->findChild<QMenu*>("N27")),
              ElementsAre("Просмотр изображения", "-", "Восстановить", "-", "Сохранить как..."));
  EXPECT_THAT(Captions(f->findChild<QMenu*>("N23")),
              ElementsAre("Справка...", "Загруженные плагины...", "-", "О программе..."));
  EXPECT_THAT(Captions(f->findChild<QMenu*>("ItemPopupMenu")),
              ElementsAre("Настройка фильтров...          ", "Параметры смешивания...", "-",
                          "Просмотр изображения          ", "-", "Восстановить          ", "-", "Удалить          ",
                          "-", "Сохранить как...          "));
  EXPECT_EQ(f->ItemPopupMenu->defaultAction(), Item(f, "mnuPopup1"));

  const std::pair<const char*, QKeySequence> keys[] = {
      {"N3", QKeySequence(Qt::CTRL | Qt::Key_N)}, {"N2", QKeySequence(Qt::CTRL | Qt::Key_O)},
      {"N4", QKeySequence(Qt::CTRL | Qt::Key_S)}, {"N7", QKeySequence(Qt::ALT | Qt::Key_F4)},
      {"N9", QKeySequence(Qt::Key_Insert)},       {"N10", QKeySequence(Qt::Key_Delete)},
      {"N24", QKeySequence(Qt::Key_F1)},          {"N5", QKeySequence()}};
  for (const auto& [name, key] : keys) EXPECT_EQ(Item(f, name)->shortcut(), key) << name;
  for (const char* name : {"N6", "N11", "N14", "N16", "N25", "N29", "N31", "mnuPopupBreak1", "mnuPopupBreak4"})
    EXPECT_TRUE(Item(f, name)->isSeparator()) << name;
  for (const char* name : {"PTools", "imTools", "sbScrollBox", "PStatusBar", "imStatusBar", "InformationLabel",
                           "ProgressBar"})
    EXPECT_NE(f->findChild<QWidget*>(name), nullptr) << name;
  auto* timer = f->findChild<QTimer*>("DelayTimer");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 1000);
  EXPECT_TRUE(timer->isActive());
}

TEST(Menus, MeasuredItemsTakeTheirSizeFromMeasureMainMenuAndAllItemsDrawThemselves) {
  Workbench w({});
  TMainForm* f = w.form;
  MenuLook look{CurrentSystemColours(), f->WindowFont};
  QMenu* file = f->mnuFile;
  file->resize(file->sizeHint());
  int mw = 0, mh = 0;
  MenuItemState n3;
  n3.Caption = "&Новый";
  n3.ShortCut = QKeySequence(Qt::CTRL | Qt::Key_N).toString(QKeySequence::NativeText).toStdString();
  MeasureMainMenu(n3, look, mw, mh);
  EXPECT_EQ(file->actionGeometry(f->N3).height(), mh);
  EXPECT_GE(file->actionGeometry(f->N3).width(), mw);

  // The check item, the submenu, the sample sizes and the popup keep the base
  // style's size; every other item measures itself.
  for (const char* name : {"N15", "N17", "mnuSampleView1", "mnuSampleView6", "mnuPopup1", "mnuPopup7"})
    EXPECT_FALSE(MenuStyle::IsMeasured(Item(f, name))) << name;
  for (const char* name : {"N2", "N3", "N4", "N5", "N7", "N9", "N10", "N12", "N28", "N30", "N35", "N24", "N18", "N26"})
    EXPECT_TRUE(MenuStyle::IsMeasured(Item(f, name))) << name;

  // The checked sample size shows its dot in the gutter, drawn by our style.
  QMenu* sizes = f->mnuSampleSize;
  sizes->resize(sizes->sizeHint());
  const QImage picture = sizes->grab().toImage();
  const QRect checked = sizes->actionGeometry(f->mnuSampleView[0]);
  const QRect plain = sizes->actionGeometry(f->mnuSampleView[1]);
  const int dpr = static_cast<int>(picture.devicePixelRatio());
  auto at = [&](int x, int y) { return PixelFromQColor(picture.pixelColor(x * dpr, y * dpr)); };
  EXPECT_EQ(at(checked.left() + 9, checked.top() + checked.height() / 2), look.Colours.WindowText);
  EXPECT_EQ(at(plain.left() + 9, plain.top() + plain.height() / 2), MenuGutterColour(look.Colours));
  EXPECT_EQ(at(plain.left() + 2, plain.top() + 1), MenuGutterColour(look.Colours));
}

TEST(Menus, SampleSizesSetTheViewAndMoveTheCheckMark) {
  Workbench w({});
  TMainForm* f = w.form;
  EXPECT_TRUE(f->mnuSampleView[0]->isChecked());
  const struct {
    const char* item;
    int width, height;
  } cases[] = {{"mnuSampleView2", 320, 240}, {"mnuSampleView3", 64, 64},   {"mnuSampleView4", 128, 128},
               {"mnuSampleView5", 256, 256}, {"mnuSampleView6", 512, 512}, {"mnuSampleView1", 160, 120},
               {"mnuSampleView1", 160, 120}};
  for (const auto& c : cases) {
    Item(f, c.item)->trigger();
    EXPECT_EQ(f->SchemeView->SampleWidth, c.width) << c.item;
    EXPECT_EQ(f->SchemeView->SampleHeight, c.height) << c.item;
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(f->mnuSampleView[i]->isChecked(), f->mnuSampleView[i] == Item(f, c.item)) << c.item << " " << i;
  }
}

TEST(Menus, TheGridItemSwitchesGridAndSnappingTogether) {
  Workbench w({});
  TMainForm* f = w.form;
  EXPECT_FALSE(f->SchemeView->ShowGrid);
  f->N15->trigger();
  EXPECT_TRUE(f->N15->isChecked());
  EXPECT_TRUE(f->SchemeView->ShowGrid);
  EXPECT_TRUE(f->SchemeView->SnapToGrid);
  f->N15->trigger();
  EXPECT_FALSE(f->SchemeView->ShowGrid);
  EXPECT_FALSE(f->SchemeView->SnapToGrid);
}

// ---- filters --------------------------------------------------------------------

TEST(ApplyFilter, ItemKAppliesFilterKToEverySelectedNodeInIndexOrder) {
  Workbench w({{"filter_b", "a.plugin"}, {"pixel_invert", "b.plugin"}, {"filter_a", "c.plugin"}});
  TSchemeManager& s = w.scheme();
  for (int i = 0; i < 3; ++i) AddNode(s, 3, 2, 0x00102030);
  s.SetSelected(0, true);
  s.SetSelected(2, true);
  const QList<QAction*> items = w.form->mnuFilters->actions();
  items[1]->trigger();
  items[2]->trigger();
  EXPECT_THAT(Chain(s, 0), ElementsAre("T_Invert", "F_Alpha"));
  EXPECT_THAT(Chain(s, 1), IsEmpty());
  EXPECT_THAT(Chain(s, 2), ElementsAre("T_Invert", "F_Alpha"));
  EXPECT_EQ(s.GetPixels(0)[2][1], 0x00EFDFCFu) << "the invert filter really ran";
  EXPECT_EQ(s.GetPixels(1)[2][1], 0x00102030u);

  QObject notAnItem;
  w.form->DoApplyFilter(&notAnItem);
  w.form->DoApplyFilter(nullptr);
  EXPECT_EQ(s.GetChainLength(0), 2);
}

// ---- adding and exporting through loaders ----------------------------------------------

class Loaders : public ::testing::Test {
 protected:
  Loaders()
      : w({{"tl_a", "1.plugin"}, {"tl_b", "2.plugin"}, {"tl_c", "3.plugin"}, {"tl_refuse", "4.plugin"},
           {"tl_fail", "5.plugin"}}) {
    w.form->DoRestoreInformationLabel();  // the start-up tick is over
  }
  void Add(const std::string& file, int entry) {
    w.prompts.dialogAnswers.push_back({(w.dir.path() / file).string(), entry});
    w.form->N9->trigger();
  }
  Workbench w;
};

TEST_F(Loaders, TheOpenFilterListsTheLoadersThatCanLoadAndEachEntryReachesItsLoader) {
  Add("picture.cc", 2);
  ASSERT_EQ(w.prompts.dialogs.size(), 1u);
  EXPECT_EQ(w.prompts.dialogs[0].title, "Добавить изображение...");
  EXPECT_EQ(w.prompts.dialogs[0].filter, "Формат A|*.a|Формат C|*.c;*.cc|Отказ|*.r|Сбой|*.f");

  TSchemeManager& s = w.scheme();
  ASSERT_EQ(s.GetImageCount(), 1);
  EXPECT_EQ(s.GetWidth(0), 4);
  EXPECT_EQ(s.GetHeight(0), 3);
  EXPECT_EQ(s.GetPixels(0)[3][2], 0x00FF0000u) << "loaded by the second entry's loader, C";
  EXPECT_EQ(s.GetBaseWidth(0), 4) << "the loaded image became the base";
  EXPECT_EQ(s.GetBasePixels(0)[0][0], 0x00FF0000u);
  EXPECT_EQ(w.status(), "Загрузка " + (w.dir.path() / "picture.cc").string());
  EXPECT_EQ(w.form->DelayTimer->interval(), 4000);
  EXPECT_TRUE(w.form->DelayTimer->isActive());
  EXPECT_TRUE(w.form->SchemeView->Dragging) << "the new node follows the pointer";
  EXPECT_EQ(w.form->SchemeView->DragImage, 0);

  Add("other.a", 1);
  ASSERT_EQ(s.GetImageCount(), 2);
  EXPECT_EQ(s.GetPixels(1)[0][0], 0x000000FFu) << "the first entry is loader A";
}

TEST_F(Loaders, AnAddOnlyArmsTheTimerWhenItIsNotRunning) {
  w.form->ShowStatus("plug-in message", 30000);
  Add("picture.a", 1);
  EXPECT_EQ(w.form->DelayTimer->interval(), 30000);
  EXPECT_TRUE(w.form->DelayTimer->isActive());
}

TEST_F(Loaders, ARefusedFileAddsNothingAndSaysSoUntilTheTimerTicks) {
  Add("picture.r", 3);
  EXPECT_EQ(w.scheme().GetImageCount(), 0);
  EXPECT_EQ(w.status(), "Неверный формат файла, изображение не может быть загружено");
  EXPECT_EQ(w.form->DelayTimer->interval(), 4000);
  ASSERT_TRUE(w.form->DelayTimer->isActive());
  Tick(w.form->DelayTimer);
  EXPECT_EQ(w.status(), kIdle);
  EXPECT_FALSE(w.form->DelayTimer->isActive());
}

TEST_F(Loaders, AFailedLoadKeepsTheEmptyNodeAndDoesNotTellTheView) {
  Add("picture.f", 4);
  ASSERT_EQ(w.scheme().GetImageCount(), 1);
  EXPECT_EQ(w.scheme().GetWidth(0), 0);
  EXPECT_EQ(w.scheme().GetHeight(0), 0);
  EXPECT_EQ(w.status(), "Ошибка при загрузке изображения");
  EXPECT_EQ(w.form->DelayTimer->interval(), 4000);
  EXPECT_TRUE(w.form->DelayTimer->isActive());
  EXPECT_FALSE(w.form->SchemeView->Dragging);
}

TEST_F(Loaders, CancellingOrChoosingAnEntryWithoutLoaderDoesNothing) {
  w.prompts.dialogAnswers.push_back({"", 1});
  w.form->DoAddImage();
  Add("picture.x", 9);
  EXPECT_EQ(w.scheme().GetImageCount(), 0);
  EXPECT_EQ(w.status(), kIdle);
  EXPECT_FALSE(w.form->DelayTimer->isActive());
}

TEST_F(Loaders, ExportSavesTheFirstSelectedNodeThroughTheChosenSaver) {
  TSchemeManager& s = w.scheme();
  AddNode(s, 5, 2, 0x00111111);
  AddNode(s, 7, 3, 0x00222222);
  AddNode(s, 9, 4, 0x00333333);

  w.form->N35->trigger();
  EXPECT_THAT(w.prompts.dialogs, IsEmpty()) << "nothing selected: no dialog";

  s.SetSelected(1, true);
  s.SetSelected(2, true);
  const std::string target = (w.dir.path() / "out.a").string();
  w.prompts.dialogAnswers.push_back({target, 1});
  w.form->mnuPopup7->trigger();
  ASSERT_EQ(w.prompts.dialogs.size(), 1u);
  EXPECT_EQ(w.prompts.dialogs[0].filter, "Формат A|*.a|Формат B|*.b");
  EXPECT_EQ(w.prompts.dialogs[0].title, "");
  std::ifstream in(target);
  std::string written;
  std::getline(in, written);
  EXPECT_EQ(written, "L_A 7 3 222222");
  EXPECT_THAT(w.prompts.messages, IsEmpty());

  w.prompts.dialogAnswers.push_back({(w.dir.path() / "out.b").string(), 2});
  w.form->N35->trigger();
  ASSERT_EQ(w.prompts.messages.size(), 1u);
  EXPECT_EQ(w.prompts.messages[0].text, "Не удалось сохранить изображение!");
  EXPECT_EQ(w.prompts.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(w.prompts.messages[0].owner, static_cast<void*>(static_cast<QWidget*>(w.form.data())));
}

// ---- delete and combine ------------------------------------------------------------

TEST(Delete, AskedNoChangesNothingAskedYesRemovesTheSelectedWithTheirDependents) {
  Workbench w({});
  TSchemeManager& s = w.scheme();
  AddNode(s, 1, 1, 0x000001);
  AddNode(s, 2, 2, 0x000002);
  AddNode(s, 3, 3, 0x000003);
  AddNode(s, 4, 4, 0x000004);
  s.AddBlendedImage(1, 3, 50, false);  // node 4, generated from node 1
  s.SetSelected(1, true);
  s.SetSelected(2, true);

  w.prompts.answers.push_back(MessageResult::Yes);
  w.form->N10->trigger();
  ASSERT_EQ(w.prompts.messages.size(), 1u);
  EXPECT_EQ(w.prompts.messages[0].text,
            "Вы действительно хотите удалить выделенные изображения?\n"
            "Изображения, которые зависят от удаляемых тоже будут удалены!");
  EXPECT_EQ(w.prompts.messages[0].icon, MessageIcon::Question);
  EXPECT_EQ(w.prompts.messages[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(w.prompts.messages[0].owner, nullptr);
  EXPECT_EQ(s.GetImageCount(), 2);
  EXPECT_EQ(s.GetWidth(0), 1);
  EXPECT_EQ(s.GetWidth(1), 4);
}

TEST(Delete, AnsweringNoKeepsEverything) {
  Workbench w({});
  TSchemeManager& s = w.scheme();
  AddNode(s, 1, 1, 0x000001);
  AddNode(s, 2, 2, 0x000002);
  s.SetSelected(0, true);
  w.prompts.answers.push_back(MessageResult::No);
  w.form->mnuPopup5->trigger();
  EXPECT_EQ(w.prompts.messages.size(), 1u);
  EXPECT_EQ(s.GetImageCount(), 2);
  EXPECT_TRUE(s.GetSelected(0));

  s.SetSelected(0, false);
  w.form->DoDeleteImage();
  EXPECT_EQ(w.prompts.messages.size(), 1u) << "nothing selected: no question";
}

class Combine : public ::testing::Test {
 protected:
  Combine() : w({}) {
    for (int i = 0; i < 4; ++i) AddNode(w.scheme(), 10, 10, 0x00000010u * (i + 1), 200 * i + 20, 40);
    w.form->show();
    w.form->resize(1000, 500);
    w.form->DoResize();
  }
  Workbench w;
};

TEST_F(Combine, ThreeSelectedKeepsTheFirstTwoAndBlendsThemAtOnce) {
  TSchemeManager& s = w.scheme();
  s.SetSelected(0, true);
  s.SetSelected(2, true);
  s.SetSelected(3, true);
  w.form->N12->trigger();
  EXPECT_FALSE(s.GetSelected(3)) << "the third selected node is deselected";
  ASSERT_EQ(s.GetImageCount(), 5);
  EXPECT_TRUE(s.IsGenerated(4));
  EXPECT_EQ(s.GetFirstSource(4), 0);
  EXPECT_EQ(s.GetSecondSource(4), 2);
  EXPECT_EQ(s.GetBlendRatio(4), 50);
  EXPECT_FALSE(w.form->CombinePending);
  EXPECT_EQ(w.status(), kIdle);
  EXPECT_TRUE(w.form->SchemeView->Dragging);
  EXPECT_EQ(w.form->SchemeView->DragImage, 4) << "the new node is placed with the mouse";
  EXPECT_GT(w.prompts.processed, 0) << "the status text was let through before the blend";
}

TEST_F(Combine, OneSelectedWaitsForAShiftClickOnASecondNode) {
  TSchemeManager& s = w.scheme();
  s.SetSelected(1, true);
  w.form->N12->trigger();
  EXPECT_TRUE(w.form->CombinePending);
  EXPECT_EQ(w.status(), "Для сложения необходимо выделить два изображения с использованием клавиши Shift");
  EXPECT_EQ(s.GetImageCount(), 4);

  // A Shift-click on node 3 (its preview spans 620..780 x 40..160) on the real board.
  BoardSurface* board = w.form->sbScrollBox;
  QTest::mouseMove(board, QPoint(700, 100));
  ASSERT_EQ(w.form->SchemeView->GetHotImage(), 3);
  QTest::mousePress(board, Qt::LeftButton, Qt::ShiftModifier, QPoint(700, 100));
  EXPECT_EQ(s.GetImageCount(), 4) << "the blend waits for the release";
  QTest::mouseRelease(board, Qt::LeftButton, Qt::ShiftModifier, QPoint(700, 100));
  ASSERT_EQ(s.GetImageCount(), 5);
  EXPECT_EQ(s.GetFirstSource(4), 1);
  EXPECT_EQ(s.GetSecondSource(4), 3);
  EXPECT_FALSE(w.form->CombinePending);
  EXPECT_EQ(w.status(), kIdle);
}

TEST_F(Combine, NothingButABlendEndsTheWait) {
  w.form->N12->trigger();
  EXPECT_TRUE(w.form->CombinePending);
  w.form->DoMouseUp(Qt::LeftButton, {}, 5, 5);
  w.form->DoCombineSelected();
  EXPECT_TRUE(w.form->CombinePending);
  EXPECT_EQ(w.scheme().GetImageCount(), 4);
}

TEST_F(Combine, PressingANodeEnablesThePopupItemsThatApply) {
  TSchemeManager& s = w.scheme();
  s.AddBlendedImage(0, 1, 50, false);
  s.SetLeft(4, 20);
  s.SetTop(4, 300);
  w.form->DoMouseMove({}, 50, 100);  // over node 0: plain, no filters
  w.form->DoMouseDown(Qt::RightButton, {}, 50, 100);
  w.form->DoMouseUp(Qt::RightButton, {}, 50, 100);
  w.form->ItemPopupMenu->hide();
  EXPECT_FALSE(w.form->mnuPopup1->isEnabled());
  EXPECT_FALSE(w.form->mnuPopup2->isEnabled());
  w.form->DoMouseMove({}, 50, 350);  // over the generated node
  w.form->DoMouseDown(Qt::RightButton, {}, 50, 350);
  w.form->DoMouseUp(Qt::RightButton, {}, 50, 350);
  w.form->ItemPopupMenu->hide();
  EXPECT_FALSE(w.form->mnuPopup1->isEnabled());
  EXPECT_TRUE(w.form->mnuPopup2->isEnabled());
}

// ---- restore ------------------------------------------------------------------------

TEST(Restore, DropsTheChainOfEverySelectedNode) {
  Workbench w({{"pixel_invert", "a.plugin"}});
  TSchemeManager& s = w.scheme();
  AddNode(s, 2, 2, 0x00000001);
  AddNode(s, 2, 2, 0x00000002);
  s.ApplyFilter(0, 0);
  s.ApplyFilter(1, 0);
  s.SetSelected(1, true);
  w.form->N30->trigger();
  EXPECT_EQ(s.GetChainLength(0), 1);
  EXPECT_EQ(s.GetChainLength(1), 0);
  EXPECT_EQ(s.GetPixels(1)[1][1], 0x00000002u);
}

// ---- projects --------------------------------------------------------------------------

class Projects : public ::testing::Test {
 protected:
  Projects() : w({}) {
    AddNode(w.scheme(), 3, 2, 0x00445566, 10, 20);
    AddNode(w.scheme(), 2, 2, 0x00778899, 200, 20);
  }
  std::string Path(const std::string& name) { return (w.dir.path() / name).string(); }
  Workbench w;
};

TEST_F(Projects, SaveAsksForANameOnceThenWritesTheSameFile) {
  w.prompts.dialogAnswers.push_back({Path("first"), 1});
  w.form->N4->trigger();
  ASSERT_EQ(w.prompts.dialogs.size(), 1u);
  const FileDialogRequest& asked = w.prompts.dialogs[0];
  EXPECT_EQ(asked.title, "Сохранить проект...");
  EXPECT_EQ(asked.fileName, "");
  EXPECT_EQ(asked.defaultExtension, "mvl");
  EXPECT_EQ(asked.filter, "Marvolen Project (*.mvl)|*.mvl|Все файлы (*.*)|*.*");
  EXPECT_EQ(w.form->ProjectFileName, Path("first.mvl"));
  EXPECT_TRUE(std::filesystem::exists(Path("first.mvl")));

  AddNode(w.scheme(), 1, 1, 0x00000001);
  w.form->N4->trigger();
  EXPECT_EQ(w.prompts.dialogs.size(), 1u) << "no dialog the second time";
  TSchemeManager check;
  ASSERT_TRUE(check.LoadFromFile(Path("first.mvl")));
  EXPECT_EQ(check.GetImageCount(), 3);

  w.prompts.dialogAnswers.push_back({Path("second.mvl"), 1});
  w.form->N5->trigger();
  ASSERT_EQ(w.prompts.dialogs.size(), 2u);
  EXPECT_EQ(w.prompts.dialogs[1].fileName, Path("first.mvl")) << "save as proposes the current path";
  EXPECT_EQ(w.form->ProjectFileName, Path("second.mvl"));

  w.form->N3->trigger();
  EXPECT_EQ(w.scheme().GetImageCount(), 0);
  EXPECT_EQ(w.form->ProjectFileName, "");
  w.prompts.dialogAnswers.push_back({"", 1});
  w.form->N4->trigger();
  EXPECT_EQ(w.prompts.dialogs.size(), 3u) << "after New, Save asks again";
  EXPECT_THAT(w.prompts.messages, IsEmpty());
}

TEST_F(Projects, AFailedSaveSaysSoAndKeepsThePreviousPath) {
  w.prompts.dialogAnswers.push_back({Path("kept.mvl"), 1});
  w.form->N5->trigger();
  ASSERT_EQ(w.form->ProjectFileName, Path("kept.mvl"));
  w.prompts.dialogAnswers.push_back({Path("missing-folder/p.mvl"), 1});
  w.form->N5->trigger();
  ASSERT_EQ(w.prompts.messages.size(), 1u);
  EXPECT_EQ(w.prompts.messages[0].text, "Не удалось сохранить проект!");
  EXPECT_EQ(w.prompts.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(w.form->ProjectFileName, Path("kept.mvl"));
}

TEST_F(Projects, OpenRestoresTheSchemeRemembersThePathAndReenablesTheView) {
  ASSERT_TRUE(w.scheme().SaveToFile(Path("p.mvl")));
  w.form->FormShow();  // no loaders: the view command goes grey
  ASSERT_FALSE(w.form->N28->isEnabled());
  w.prompts.messages.clear();
  w.form->N3->trigger();

  w.prompts.dialogAnswers.push_back({Path("p.mvl"), 1});
  w.form->N2->trigger();
  ASSERT_EQ(w.prompts.dialogs.size(), 1u);
  EXPECT_EQ(w.prompts.dialogs[0].title, "Открыть проект...");
  EXPECT_EQ(w.prompts.dialogs[0].filter, "Marvolen Project (*.mvl)|*.mvl|Все файлы (*.*)|*.*");
  EXPECT_THAT(w.prompts.messages, IsEmpty());
  EXPECT_EQ(w.scheme().GetImageCount(), 2);
  EXPECT_EQ(w.scheme().GetLeft(1), 200);
  EXPECT_EQ(w.form->ProjectFileName, Path("p.mvl"));
  EXPECT_TRUE(w.form->N28->isEnabled());
}

TEST_F(Projects, OpeningAFileThatIsNotAProjectReportsItAndKeepsThePath) {
  w.form->ProjectFileName = Path("before.mvl");
  {
    std::ofstream junk(Path("junk.mvl"), std::ios::binary);
    junk << "this is not a project";
  }
  w.form->ProgressBar->show();
  w.form->InformationLabel->setText("busy");
  w.prompts.dialogAnswers.push_back({Path("junk.mvl"), 1});
  w.form->N2->trigger();
  ASSERT_FALSE(w.prompts.messages.empty());
  EXPECT_EQ(w.prompts.messages.back().text, "При загрузке проекта произошла ошибка!");
  EXPECT_EQ(w.prompts.messages.back().icon, MessageIcon::Error);
  EXPECT_TRUE(w.form->ProgressBar->isHidden());
  EXPECT_EQ(w.status(), kIdle);
  EXPECT_EQ(w.form->ProjectFileName, Path("before.mvl"));

  const size_t before = w.prompts.messages.size();
  w.prompts.dialogAnswers.push_back({"", 1});
  w.form->N2->trigger();
  EXPECT_EQ(w.prompts.messages.size(), before) << "cancel does nothing";
}

// ---- the modal windows ----------------------------------------------------------

/// Runs `command`, which shows a modal window; `inspect` sees that window
/// once it is up, then it is closed.
template <class Command, class Inspect>
bool WithModal(Command command, Inspect inspect) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      seen = true;
      inspect(modal);
      modal->close();
    }
  });
  command();
  QCoreApplication::processEvents();  // lets a timer that found nothing go
  return seen;
}

TEST(ViewFullImage, ShowsTheFirstSelectedNodeAtFullSizeWithProgress) {
  Workbench w({});
  TSchemeManager& s = w.scheme();
  AddNode(s, 2, 2, 0x00000001);
  AddNode(s, 30, 20, 0x00000000);
  AddNode(s, 5, 5, 0x00000003);
  s.GetPixels(1)[29][19] = 0x00123456;
  s.GetPixels(1)[7][3] = 0x00ABCDEF;
  s.SetSelected(1, true);
  s.SetSelected(2, true);
  QImage shown;
  bool progressShown = false;
  EXPECT_TRUE(WithModal([&] { w.form->N28->trigger(); },
                        [&](QWidget* modal) {
                          auto* view = qobject_cast<TImageViewForm*>(modal);
                          ASSERT_NE(view, nullptr);
                          shown = view->Image->Picture();
                          progressShown = !w.form->ProgressBar->isHidden();
                        }));
  ASSERT_EQ(shown.size(), QSize(30, 20));
  EXPECT_EQ(PixelFromQColor(shown.pixelColor(29, 19)), 0x00123456u);
  EXPECT_EQ(PixelFromQColor(shown.pixelColor(7, 3)), 0x00ABCDEFu);
  EXPECT_EQ(PixelFromQColor(shown.pixelColor(0, 0)), 0x00000000u);
  EXPECT_FALSE(progressShown) << "the bar is hidden before the window opens";
  EXPECT_EQ(w.form->ProgressBar->maximum(), 20);
  EXPECT_EQ(w.form->ProgressBar->value(), 19);
  EXPECT_GE(w.prompts.processed, 20) << "messages are let through row by row";
  EXPECT_EQ(w.status(), kIdle);

  s.SetSelected(1, false);
  s.SetSelected(2, false);
  EXPECT_FALSE(WithModal([&] { w.form->mnuPopup3->trigger(); }, [](QWidget*) {})) << "nothing selected: no window";
}

TEST(PluginList, ListsLoadersThenFiltersFreshEachTime) {
  Workbench w({{"filter_a", "1.plugin"}, {"tl_a", "2.plugin"}, {"filter_b", "3.plugin"}});
  TPluginInfoForm info(w.form->PluginManager);
  TAboutForm about;
  w.form->PluginInfoForm = &info;
  w.form->AboutForm = &about;
  for (int round = 0; round < 2; ++round) {
    std::vector<std::string> items;
    EXPECT_TRUE(WithModal([&] { w.form->N18->trigger(); },
                          [&](QWidget* modal) {
                            EXPECT_EQ(modal, &info);
                            for (int i = 0; i < info.ListBox1->count(); ++i)
                              items.push_back(info.ListBox1->item(i)->text().toStdString());
                          }));
    EXPECT_THAT(items, ElementsAre("Формат A", "filter F_Alpha", "filter F_Beta")) << round;
  }
  EXPECT_TRUE(WithModal([&] { w.form->N26->trigger(); }, [&](QWidget* modal) { EXPECT_EQ(modal, &about); }));
}

// ---- status line, services, help, shutdown ------------------------------------------------

TEST(Status, TheIdleTextReturnsWhenTheTimerTicksAndTheTimerStops) {
  Workbench w({});
  QTimer* timer = w.form->DelayTimer;
  ASSERT_TRUE(timer->isActive());
  w.form->InformationLabel->setText("start");
  Tick(timer);
  EXPECT_EQ(w.status(), kIdle);
  EXPECT_FALSE(timer->isActive());

  w.form->ShowStatus("Шаг 1", -1);
  EXPECT_EQ(w.status(), "Шаг 1");
  EXPECT_FALSE(timer->isActive()) << "-1 leaves the text in place";
  w.form->ShowStatus("", -1);
  EXPECT_EQ(w.status(), "") << "the services entry shows an empty text as it is";
  w.form->ShowStatus("Шаг 2", 2000);
  EXPECT_EQ(timer->interval(), 2000);
  EXPECT_TRUE(timer->isActive());
  Tick(timer);
  EXPECT_EQ(w.status(), kIdle);
}

TEST(Services, TheWindowIsTheHostsWindowAndRefreshRepaintsTheBoard) {
  Workbench w({});
  ASSERT_EQ(Host().Window, w.form.data());
  EXPECT_EQ(Host().Registry, w.form->PluginManager);
  EXPECT_EQ(Host().Scheme, w.form->SchemeManager);
  EXPECT_EQ(w.form->Services->GetMainWindow(), static_cast<void*>(static_cast<QWidget*>(w.form.data())));
  EXPECT_EQ(w.form->Services->GetBoardWindow(), static_cast<void*>(static_cast<QWidget*>(w.form->sbScrollBox)));
  w.form->resize(700, 500);
  w.form->show();
  AddNode(w.scheme(), 4, 4, 0x000000FF, 30, 30);
  w.form->Services->RefreshBoard();
  const Bitmap& picture = w.form->sbScrollBox->Picture();
  EXPECT_EQ(picture.Width(), w.form->sbScrollBox->width());
  EXPECT_EQ(picture.Height(), w.form->sbScrollBox->height());
  EXPECT_EQ(picture.Pixel(31, 31), 0x000000FFu) << "the new node is on the board";

  w.form->Services->ShowProgress(true);
  w.form->Services->SetProgressMax(10);
  w.form->Services->SetProgressPosition(7);
  EXPECT_FALSE(w.form->ProgressBar->isHidden());
  EXPECT_EQ(w.form->ProgressBar->value(), 7);

  delete w.form.data();
  EXPECT_EQ(Host().Window, nullptr);
  EXPECT_EQ(Host().Registry, nullptr);
  EXPECT_EQ(Host().Scheme, nullptr);
}

TEST(Help, OpensThePageBesideTheProgramWithTheDesktopsHandler) {
  Workbench w({});
  w.form->N24->trigger();
  ASSERT_EQ(w.prompts.opened.size(), 1u);
  EXPECT_EQ(w.prompts.opened[0], (QCoreApplication::applicationDirPath() + "/Marvolen.html").toStdString());
  EXPECT_TRUE(std::filesystem::exists(BinDir() / "Marvolen.html")) << "the build ships the page";
}

/// Takes over the services entries 40-47 to record what the plug-ins report.
class Recorder final : public HostWindow {
 public:
  void* MainWindowHandle() override { return nullptr; }
  void* BoardWindowHandle() override { return nullptr; }
  void RefreshBoard() override {}
  void ShowProgress(bool) override {}
  void SetProgressMin(int) override {}
  void SetProgressMax(int) override {}
  void SetProgressPosition(int) override {}
  void ShowStatus(const std::string& text, int) override { events.push_back(text); }
  std::vector<std::string> events;
};

TEST(Shutdown, ClosingFinalisesAndDeletesEveryPluginAndFreesTheWindow) {
  Workbench w({{"loader_a", "1.plugin"}, {"filter_a", "2.plugin"}, {"loader_b", "3.plugin"}, {"filter_b", "4.plugin"}});
  ASSERT_EQ(w.form->PluginManager->GetLoaderCount(), 2);
  ASSERT_EQ(w.form->PluginManager->GetFilterCount(), 2);
  w.form->show();
  QGuiApplication::setQuitOnLastWindowClosed(false);
  Recorder recorder;
  Host().Window = &recorder;
  w.form->close();
  EXPECT_THAT(recorder.events, ElementsAre("finalize:L_Alpha", "delete:L_Alpha", "finalize:L_Beta", "delete:L_Beta",
                                           "finalize:F_Alpha", "delete:F_Alpha", "finalize:F_Beta", "delete:F_Beta"));
  EXPECT_THAT(w.form->mnuFilters->actions(), IsEmpty());
  EXPECT_EQ(w.form->PluginManager->GetLoaderCount() + w.form->PluginManager->GetFilterCount(), 0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(w.form.isNull()) << "the closed window frees itself";
  Host().Window = nullptr;
  EXPECT_EQ(recorder.events.size(), 8u) << "nothing is finalised twice";
}

TEST(Shutdown, DestroyingAnOpenWindowStillReleasesThePlugins) {
  Recorder recorder;
  {
    Workbench w({{"filter_a", "1.plugin"}});
    Host().Window = &recorder;
  }
  EXPECT_THAT(recorder.events, ElementsAre("finalize:F_Alpha", "delete:F_Alpha"));
  Host().Window = nullptr;
}

}  // namespace
