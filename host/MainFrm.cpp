#include "MainFrm.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "AboutFrm.h"
#include "AppIcon.h"
#include "AppInfo.h"
#include "BoardSurface.h"
#include "CombineFrm.h"
#include "ImageViewFrm.h"
#include "LayersFrm.h"
#include "MenuStyle.h"
#include "PluginInfoFrm.h"
#include "PluginManager.h"
#include "QtText.h"
#include "SchemeController.h"
#include "SchemeManager.h"

namespace mv {

namespace {

constexpr int kStatusDelayMs = 4000;

const char* const kNoLoaderWarning =
    "Ни один плагин-загрузчик изображения не был найден! \n"
    "Проверьте наличие в папке Plugins плагинов, отвечающие за загрузку изображений!";
const char* const kNoFilterWarning =
    "Ни один плагин-фильтр не был найден! \n"
    "Проверьте наличие в папке Plugins плагинов, отвечающие за фильтрацию изображений!";
const char* const kDeleteQuestion =
    "Вы действительно хотите удалить выделенные изображения?\n"
    "Изображения, которые зависят от удаляемых тоже будут удалены!";
const char* const kProjectFilter = "Marvolen Project (*.mvl)|*.mvl|Все файлы (*.*)|*.*";

}  // namespace

// ---- plain helpers ---------------------------------------------------------------

void PaintStripGradient(Bitmap& target, MvPixel top, MvPixel bottom) {
  const int w = target.Width(), h = target.Height();
  if (h <= 0) return;
  Canvas canvas(target);
  for (int y = 0; y < h; ++y) {
    MvPixel colour = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const int c0 = static_cast<int>((top >> shift) & 0xFF), c1 = static_cast<int>((bottom >> shift) & 0xFF);
      const int v = c0 - ((c0 - c1) * y) / h;
      colour |= static_cast<MvPixel>(v & 0xFF) << shift;
    }
    canvas.PenColour = colour;
    canvas.Line(0, y, w, y);
  }
}

int LoaderFilter::LoaderAt(int filterIndex) const {
  if (filterIndex < 1 || filterIndex > static_cast<int>(Loaders.size())) return -1;
  return Loaders[filterIndex - 1];
}

LoaderFilter BuildLoaderFilter(TPluginManager& registry, bool forSave) {
  LoaderFilter out;
  for (int i = 0; i < registry.GetLoaderCount(); ++i) {
    MvLoader* loader = registry.GetLoader(i);
    if (!(forSave ? loader->CanSave() : loader->CanLoad())) continue;
    if (!out.Filter.empty()) out.Filter += '|';
    out.Filter += Cp1251ToUtf8(loader->GetName()) + '|' + Cp1251ToUtf8(loader->GetFileMask());
    out.Loaders.push_back(i);
  }
  return out;
}

// ---- start-up --------------------------------------------------------------------

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  // 1. The window from its layout.
  WindowFont.name = "Tahoma";
  WindowFont.pixelHeight = 11;
  colours_ = CurrentSystemColours();
  BuildMenus();
  BuildLayout();
  OpenDialog.title = "Добавить изображение...";
  OpenDialogMVL.title = "Открыть проект...";
  OpenDialogMVL.filter = kProjectFilter;
  SaveDialogMVL.title = "Сохранить проект...";
  SaveDialogMVL.defaultExtension = "mvl";
  SaveDialogMVL.filter = kProjectFilter;

  // 2, 3.
  ProjectFileName.clear();
  setWindowTitle(QString::fromUtf8(kApplicationTitle));

  // 4. The services table, then the registry with it: every plug-in's
  // PluginEntry receives the table, and the status and progress entries may be
  // used while the folder loads.
  Services = new MvServices{};
  InitServices(Services);
  Host().Window = this;

  // 5.
  PluginManager = new TPluginManager;
  PluginManager->Services = Services;
  Host().Registry = PluginManager;
  PluginManager->LoadPlugins();

  // 6.
  SchemeManager = new TSchemeManager;
  SchemeManager->PluginManager = PluginManager;
  Host().Scheme = SchemeManager;

  // 7, 8: the view with the popup; the board is its drawing surface.
  SchemeView = new TSchemeView;
  SchemeView->PopupMenu = ItemPopupMenu;
  SchemeView->ToolWindows = this;
  BoardCanvas* boardCanvas = sbScrollBox;

  // 9, 10: the notifications first, because SetManager copies them into the model.
  SchemeController = new TSchemeController;
  SchemeController->OnProgressMin = [this](int v) { DoProgressMin(v); };
  SchemeController->OnProgressMax = [this](int v) { DoProgressMax(v); };
  SchemeController->OnProgressPosition = [this](int v) { DoProgressPosition(v); };
  SchemeController->OnProgressVisible = [this](bool v) { DoProgressVisible(v); };
  SchemeController->OnStatusText = [this](const std::string& t) { DoStatusText(t); };
  SchemeController->SetView(SchemeView);
  SchemeController->SetManager(SchemeManager);
  SchemeController->SetCanvas(boardCanvas);

  // 11, 12.
  BuildStrips();

  // 13.
  FillFilterMenu();
}

TMainForm::~TMainForm() {
  // Plug-ins still registered (the window was destroyed without closing) are
  // finalised and deleted here, while the window can still take their reports.
  if (PluginManager) RemoveAllPlugins();
  if (Host().Window == this) Host().Window = nullptr;
  if (Host().Scheme == SchemeManager) Host().Scheme = nullptr;
  if (Host().Registry == PluginManager) Host().Registry = nullptr;
  if (SchemeView) SchemeView->Canvas = nullptr;
  delete SchemeController;
  delete SchemeView;
  delete SchemeManager;
  delete PluginManager;
  delete Services;
}

void TMainForm::BuildLayout() {

  auto* client = new QWidget(this);
  client->setObjectName("MainFormClient");
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  PTools = new QWidget(client);
  PTools->setObjectName("PTools");
  PTools->setFixedHeight(42);
  auto* toolsFill = new QHBoxLayout(PTools);
  toolsFill->setContentsMargins(0, 0, 0, 0);
  imTools = new QLabel(PTools);
  imTools->setObjectName("imTools");
  imTools->setScaledContents(true);
  imTools->setMinimumSize(1, 1);
  toolsFill->addWidget(imTools);
  column->addWidget(PTools);

  sbScrollBox = new BoardSurface(client);
  sbScrollBox->setObjectName("sbScrollBox");
  sbScrollBox->setAutoFillBackground(true);
  QPalette boardPalette = sbScrollBox->palette();
  boardPalette.setColor(QPalette::Window, QColorFromPixel(colours_.Window));
  sbScrollBox->setPalette(boardPalette);
  sbScrollBox->OnMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) { DoMouseDown(b, s, x, y); };
  sbScrollBox->OnMouseMove = [this](Qt::KeyboardModifiers s, int x, int y) { DoMouseMove(s, x, y); };
  sbScrollBox->OnMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) { DoMouseUp(b, s, x, y); };
  sbScrollBox->OnDoubleClick = [this] { DoDblClick(); };
  sbScrollBox->OnResized = [this] { DoResize(); };
  column->addWidget(sbScrollBox, 1);

  PStatusBar = new QWidget(client);
  PStatusBar->setObjectName("PStatusBar");
  PStatusBar->setFixedHeight(21);
  auto* statusRow = new QHBoxLayout(PStatusBar);
  statusRow->setContentsMargins(0, 0, 0, 0);
  statusRow->setSpacing(0);
  imStatusBar = new QLabel(PStatusBar);
  imStatusBar->setObjectName("imStatusBar");
  imStatusBar->setScaledContents(true);
  imStatusBar->setMinimumSize(1, 1);
  statusRow->addWidget(imStatusBar, 1);
  ProgressBar = new QProgressBar(PStatusBar);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setFixedWidth(200);
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(50);
  ProgressBar->setTextVisible(false);
  statusRow->addWidget(ProgressBar);
  // The label lies over the strip and under the progress bar.
  InformationLabel = new QLabel(QString::fromUtf8(kIdleText), PStatusBar);
  InformationLabel->setObjectName("InformationLabel");
  InformationLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
  InformationLabel->setGeometry(8, 4, 2000, 15);
  InformationLabel->raise();
  ProgressBar->raise();
  column->addWidget(PStatusBar);

  setCentralWidget(client);

  // Laid out as 632 pixels of client width (the strips are made at that size).
  resize(632, 453);
  client->resize(632, 453 - menuBar()->sizeHint().height());
  column->activate();
  toolsFill->activate();
  statusRow->activate();
  ProgressBar->hide();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }

  DelayTimer = new QTimer(this);
  DelayTimer->setObjectName("DelayTimer");
  DelayTimer->setInterval(1000);
  connect(DelayTimer, &QTimer::timeout, this, [this] { DoRestoreInformationLabel(); });
  DelayTimer->start();
}

void TMainForm::BuildMenus() {
  setObjectName("MainForm");
  setFont(WindowFont.ToQFont());
  setWindowIcon(ApplicationIcon());
  menuStyle_ = new MenuStyle(WindowFont);
  menuStyle_->setParent(this);

  MainMenu = new QMenuBar(this);
  MainMenu->setObjectName("MainMenu");
  MainMenu->setFont(WindowFont.ToQFont());
  MainMenu->setStyle(menuStyle_);
  MainMenu->setNativeMenuBar(false);  // a desktop-wide menu bar would not draw our items
  setMenuBar(MainMenu);

  auto menu = [this](QWidget* parent, const char* name, const char* caption, QAction*& item) {
    auto* m = new QMenu(QString::fromUtf8(caption), parent);
    m->setObjectName(name);
    m->setStyle(menuStyle_);
    m->setFont(WindowFont.ToQFont());
    item = m->menuAction();
    item->setObjectName(name);
    return m;
  };
  auto action = [this](QMenu* parent, const char* name, const char* caption, const QKeySequence& key, bool measured,
                       void (TMainForm::*handler)()) {
    auto* a = new QAction(QString::fromUtf8(caption), parent);
    a->setObjectName(name);
    if (!key.isEmpty()) a->setShortcut(key);
    MenuStyle::SetMeasured(a, measured);
    if (handler) connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    parent->addAction(a);
    return a;
  };
  auto separator = [](QMenu* parent, const char* name) {
    QAction* a = parent->addSeparator();
    a->setObjectName(name);
    return a;
  };

  mnuFile = menu(MainMenu, "N1", "&Файл", N1);
  N3 = action(mnuFile, "N3", "&Новый", QKeySequence(Qt::CTRL | Qt::Key_N), true, &TMainForm::DoNewProject);
  N2 = action(mnuFile, "N2", "&Открыть...", QKeySequence(Qt::CTRL | Qt::Key_O), true, &TMainForm::DoOpenProject);
  N4 = action(mnuFile, "N4", "&Сохранить", QKeySequence(Qt::CTRL | Qt::Key_S), true, &TMainForm::N4Click);
  N5 = action(mnuFile, "N5", "Сохранить к&ак...", {}, true, &TMainForm::DoSaveAs);
  N6 = separator(mnuFile, "N6");
  N7 = action(mnuFile, "N7", "&Выход", QKeySequence(Qt::ALT | Qt::Key_F4), true, &TMainForm::DoExitApplication);
  MainMenu->addMenu(mnuFile);

  mnuScheme = menu(MainMenu, "N8", "Схема", N8);
  N15 = action(mnuScheme, "N15", "Отображать сетку", {}, false, &TMainForm::DoSwitchShowGrid);
  N15->setCheckable(true);
  N16 = separator(mnuScheme, "N16");
  mnuSampleSize = menu(mnuScheme, "N17", "Размер образца", N17);
  static const struct {
    const char* name;
    const char* caption;
    void (TMainForm::*handler)();
  } kSampleItems[6] = {
      {"mnuSampleView1", "Стандарт 160x120", &TMainForm::DoSampleSize1},
      {"mnuSampleView2", "Стандарт 320x240", &TMainForm::DoSampleSize6},
      {"mnuSampleView3", "Стандарт 64x64", &TMainForm::DoSampleSize2},
      {"mnuSampleView4", "Стандарт 128x128", &TMainForm::DoSampleSize3},
      {"mnuSampleView5", "Стандарт 256x256", &TMainForm::DoSampleSize4},
      {"mnuSampleView6", "Стандарт 512x512", &TMainForm::DoSampleSize5},
  };
  for (int i = 0; i < 6; ++i) {
    mnuSampleView[i] = action(mnuSampleSize, kSampleItems[i].name, kSampleItems[i].caption, {}, false,
                              kSampleItems[i].handler);
    mnuSampleView[i]->setCheckable(true);
  }
  mnuSampleView[0]->setChecked(true);
  mnuScheme->addMenu(mnuSampleSize);
  N14 = separator(mnuScheme, "N14");
  N9 = action(mnuScheme, "N9", "Добавить изображение...", QKeySequence(Qt::Key_Insert), true, &TMainForm::DoAddImage);
  N10 = action(mnuScheme, "N10", "Удалить изображение", QKeySequence(Qt::Key_Delete), true, &TMainForm::DoDeleteImage);
  N11 = separator(mnuScheme, "N11");
  N12 = action(mnuScheme, "N12", "Сложение изображений", {}, true, &TMainForm::DoImageCombine);
  MainMenu->addMenu(mnuScheme);

  mnuSample = menu(MainMenu, "N27", "Образец", N27);
  N28 = action(mnuSample, "N28", "Просмотр изображения", {}, true, &TMainForm::DoViewFullImage);
  N29 = separator(mnuSample, "N29");
  N30 = action(mnuSample, "N30", "Восстановить", {}, true, &TMainForm::DoRestoreImage);
  N31 = separator(mnuSample, "N31");
  N35 = action(mnuSample, "N35", "Сохранить как...", {}, true, &TMainForm::DoExportImage);
  MainMenu->addMenu(mnuSample);

  mnuFilters = menu(MainMenu, "N13", "Фильтры", N13);
  MainMenu->addMenu(mnuFilters);

  mnuHelp = menu(MainMenu, "N23", "Помощь", N23);
  N24 = action(mnuHelp, "N24", "Справка...", QKeySequence(Qt::Key_F1), true, &TMainForm::DoHelp);
  N18 = action(mnuHelp, "N18", "Загруженные плагины...", {}, true, &TMainForm::DoPluginInfo);
  N25 = separator(mnuHelp, "N25");
  N26 = action(mnuHelp, "N26", "О программе...", {}, true, &TMainForm::DoShowAbout);
  MainMenu->addMenu(mnuHelp);

  ItemPopupMenu = new QMenu(this);
  ItemPopupMenu->setObjectName("ItemPopupMenu");
  ItemPopupMenu->setStyle(menuStyle_);
  ItemPopupMenu->setFont(WindowFont.ToQFont());
  mnuPopup1 = action(ItemPopupMenu, "mnuPopup1", "Настройка фильтров...          ", {}, false, &TMainForm::DoFiltersSetup);
  ItemPopupMenu->setDefaultAction(mnuPopup1);
  mnuPopup2 = action(ItemPopupMenu, "mnuPopup2", "Параметры смешивания...", {}, false, &TMainForm::mnuPopup2Click);
  mnuPopupBreak1 = separator(ItemPopupMenu, "mnuPopupBreak1");
  mnuPopup3 = action(ItemPopupMenu, "mnuPopup3", "Просмотр изображения          ", {}, false, &TMainForm::DoViewFullImage);
  mnuPopupBreak2 = separator(ItemPopupMenu, "mnuPopupBreak2");
  mnuPopup4 = action(ItemPopupMenu, "mnuPopup4", "Восстановить          ", {}, false, &TMainForm::DoRestoreImage);
  mnuPopupBreak3 = separator(ItemPopupMenu, "mnuPopupBreak3");
  mnuPopup5 = action(ItemPopupMenu, "mnuPopup5", "Удалить          ", {}, false, &TMainForm::DoDeleteImage);
  mnuPopupBreak4 = separator(ItemPopupMenu, "mnuPopupBreak4");
  mnuPopup7 = action(ItemPopupMenu, "mnuPopup7", "Сохранить как...          ", {}, false, &TMainForm::DoExportImage);
}

void TMainForm::BuildStrips() {
  for (QLabel* strip : {imTools, imStatusBar}) {
    Bitmap picture(strip->width(), strip->height());
    PaintStripGradient(picture, colours_.BtnFace, colours_.BtnShadow);
    strip->setPixmap(QPixmap::fromImage(picture.ToImage()));
  }
}

void TMainForm::FillFilterMenu() {
  for (int i = 0; i < PluginManager->GetFilterCount(); ++i) {
    auto* item = new QAction(FromCp1251(PluginManager->GetFilter(i)->GetName()), mnuFilters);
    item->setData(i);  // the Tag: DoApplyFilter finds the filter by it alone
    MenuStyle::SetMeasured(item, true);
    connect(item, &QAction::triggered, this, [this, item] { DoApplyFilter(item); });
    mnuFilters->addAction(item);
  }
}

// ---- lifecycle -----------------------------------------------------------------

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TMainForm::FormShow() {
  if (PluginManager->GetLoaderCount() == 0) {
    CurrentPrompts().ShowMessage(kNoLoaderWarning, MessageIcon::Warning);
    N9->setEnabled(false);
    N28->setEnabled(false);
    N35->setEnabled(false);
    mnuPopup7->setEnabled(false);
  }
  if (PluginManager->GetFilterCount() == 0) CurrentPrompts().ShowMessage(kNoFilterWarning, MessageIcon::Warning);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  DoCloseForm();
  event->accept();
}

void TMainForm::DoCloseForm() {
  while (!mnuFilters->actions().isEmpty()) delete mnuFilters->actions().first();
  RemoveAllPlugins();
  setAttribute(Qt::WA_DeleteOnClose, true);
}

void TMainForm::RemoveAllPlugins() {
  // Removing moves the later entries down, so index 0 until none is left. A
  // removal that fails still takes the entry out.
  while (PluginManager->GetLoaderCount() > 0) PluginManager->RemoveLoader(0);
  while (PluginManager->GetFilterCount() > 0) PluginManager->RemoveFilter(0);
}

void TMainForm::DoExitApplication() {
  close();
  QCoreApplication::quit();
}

void TMainForm::paintEvent(QPaintEvent* event) {
  QMainWindow::paintEvent(event);
  DoPaint();
}

void TMainForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) DoResize();
}

// ---- notifications -----------------------------------------------------------------

void TMainForm::DoProgressMin(int value) { ProgressBar->setMinimum(value); }
void TMainForm::DoProgressMax(int value) { ProgressBar->setMaximum(value); }
void TMainForm::DoProgressPosition(int value) { ProgressBar->setValue(value); }
void TMainForm::DoProgressVisible(bool visible) { ProgressBar->setVisible(visible); }

void TMainForm::DoStatusText(const std::string& text) {
  InformationLabel->setText(QString::fromStdString(text.empty() ? std::string(kIdleText) : text));
}

void TMainForm::DoRestoreInformationLabel() {
  InformationLabel->setText(QString::fromUtf8(kIdleText));
  DelayTimer->stop();
}

void TMainForm::ArmDelayTimer() {
  DelayTimer->setInterval(kStatusDelayMs);
  DelayTimer->start();
}

// ---- HostWindow ------------------------------------------------------------------

void* TMainForm::MainWindowHandle() { return static_cast<QWidget*>(this); }
void* TMainForm::BoardWindowHandle() { return static_cast<QWidget*>(sbScrollBox); }

void TMainForm::RefreshBoard() {
  DoResize();
  DoPaint();
}

void TMainForm::ShowProgress(bool visible) { DoProgressVisible(visible); }
void TMainForm::SetProgressMin(int value) { DoProgressMin(value); }
void TMainForm::SetProgressMax(int value) { DoProgressMax(value); }
void TMainForm::SetProgressPosition(int value) { DoProgressPosition(value); }

void TMainForm::ShowStatus(const std::string& text, int delayMs) {
  InformationLabel->setText(QString::fromStdString(text));
  if (delayMs != -1) {
    DelayTimer->setInterval(std::max(0, delayMs));
    DelayTimer->start();
  }
}

// ---- project and application commands -------------------------------------------------

void TMainForm::DoNewProject() {
  SchemeManager->Clear();
  SchemeController->Paint();
  ProjectFileName.clear();
}

void TMainForm::DoOpenProject() {
  if (!CurrentPrompts().OpenFileDialog(OpenDialogMVL)) return;
  const std::string path = OpenDialogMVL.fileName;
  if (SchemeManager->LoadFromFile(path)) {
    ProjectFileName = path;
    N28->setEnabled(true);
  } else {
    CurrentPrompts().ShowMessage("При загрузке проекта произошла ошибка!", MessageIcon::Error);
    DoProgressVisible(false);
    DoStatusText(std::string());
  }
  SchemeController->Paint();
}

bool TMainForm::SaveProjectTo(const std::string& path) {
  const bool saved = SchemeManager->SaveToFile(path);
  if (!saved) CurrentPrompts().ShowMessage("Не удалось сохранить проект!", MessageIcon::Error);
  SchemeController->Paint();
  return saved;
}

void TMainForm::DoSaveAs() {
  SaveDialogMVL.fileName = ProjectFileName;
  if (!CurrentPrompts().SaveFileDialog(SaveDialogMVL)) return;
  const std::string path = SaveDialogMVL.fileName;
  // The path becomes the project's only when the project is really there.
  if (SaveProjectTo(path)) ProjectFileName = path;
}

void TMainForm::N4Click() {
  if (ProjectFileName.empty()) {
    DoSaveAs();
    return;
  }
  SaveProjectTo(ProjectFileName);
}

std::string TMainForm::HelpFilePath() {
  return (QCoreApplication::applicationDirPath() + "/Marvolen.html").toStdString();
}

void TMainForm::DoHelp() { CurrentPrompts().OpenWithDesktop(HelpFilePath()); }

void TMainForm::DoPluginInfo() {
  if (!PluginInfoForm) return;
  PluginInfoForm->FillList();
  PluginInfoForm->exec();
}

void TMainForm::DoShowAbout() {
  if (AboutForm) AboutForm->exec();
}

// ---- node commands ---------------------------------------------------------------

std::vector<int> TMainForm::SelectedImages() {
  std::vector<int> selected;
  for (int i = 0; i < SchemeManager->GetImageCount(); ++i)
    if (SchemeManager->GetSelected(i)) selected.push_back(i);
  return selected;
}

std::vector<int> TMainForm::KeepTwoSelected() {
  std::vector<int> kept;
  for (int i = 0; i < SchemeManager->GetImageCount(); ++i) {
    if (!SchemeManager->GetSelected(i)) continue;
    if (kept.size() < 2)
      kept.push_back(i);
    else
      SchemeManager->SetSelected(i, false);
  }
  return kept;
}

void TMainForm::DoAddImage() {
  const LoaderFilter filter = BuildLoaderFilter(*PluginManager, false);
  OpenDialog.filter = filter.Filter;
  if (!CurrentPrompts().OpenFileDialog(OpenDialog)) return;
  const int loaderIndex = filter.LoaderAt(OpenDialog.filterIndex);
  if (loaderIndex < 0) return;  // no loader behind the chosen entry
  const std::string file = OpenDialog.fileName;
  InformationLabel->setText(QString::fromStdString("Загрузка " + file));
  MvLoader* loader = PluginManager->GetLoader(loaderIndex);

  if (!loader->CanLoadFile(file)) {
    InformationLabel->setText(QString::fromUtf8("Неверный формат файла, изображение не может быть загружено"));
    ArmDelayTimer();
    return;
  }
  SchemeManager->AddImage(nullptr, 0, 0);
  int n = SchemeManager->GetImageCount() - 1;
  if (loader->LoadImage(&n, file)) {
    SchemeManager->CommitImage(n);
    if (!DelayTimer->isActive()) ArmDelayTimer();
    SchemeController->ImageAdded(n);
  } else {
    InformationLabel->setText(QString::fromUtf8("Ошибка при загрузке изображения"));
    ArmDelayTimer();
  }
}

void TMainForm::DoDeleteImage() {
  const std::vector<int> selected = SelectedImages();
  if (selected.empty()) return;
  if (CurrentPrompts().ShowMessage(kDeleteQuestion, MessageIcon::Question, MessageButtons::YesNo) != MessageResult::Yes)
    return;
  // From the highest index down, so that no deletion moves a node still to be
  // deleted. A node removed earlier as a dependent is skipped.
  for (auto it = selected.rbegin(); it != selected.rend(); ++it)
    if (*it < SchemeManager->GetImageCount()) SchemeManager->DeleteImage(*it);
  SchemeController->ImagesDeleted();
}

void TMainForm::DoImageCombine() {
  const std::vector<int> kept = KeepTwoSelected();
  CombinePending = true;
  InformationLabel->setText(QString::fromUtf8("Для сложения необходимо выделить два изображения с использованием клавиши Shift"));
  if (kept.size() == 2) DoCombineSelected();
}

void TMainForm::DoCombineSelected() {
  std::vector<int> kept = KeepTwoSelected();
  if (kept.size() < 2) return;
  InformationLabel->setText(QString::fromUtf8("Выполнение операции сложения изображений..."));
  CurrentPrompts().ProcessMessages();
  // A command handled meanwhile may have changed the scheme: blend what is
  // selected now.
  kept = KeepTwoSelected();
  if (kept.size() < 2) return;
  SchemeManager->AddBlendedImage(kept[0], kept[1], 50, true);
  SchemeController->ImageAdded(SchemeManager->GetImageCount() - 1);
  CombinePending = false;
  InformationLabel->setText(QString::fromUtf8(kIdleText));
}

void TMainForm::DoViewFullImage() {
  const std::vector<int> selected = SelectedImages();
  if (selected.empty()) return;
  const int n = selected.front();
  const int width = SchemeManager->GetWidth(n), height = SchemeManager->GetHeight(n);
  PixelColumns columns = SchemeManager->GetPixels(n);

  auto* view = new TImageViewForm(nullptr);
  QImage picture(std::max(width, 0), std::max(height, 0), QImage::Format_RGBX8888);
  DoProgressVisible(true);
  DoProgressMin(0);
  DoProgressMax(height);
  DoProgressPosition(0);
  InformationLabel->setText(QString::fromUtf8("Подготовка изображения к просмотру..."));
  CurrentPrompts().ProcessMessages();
  // Copied in bands of rows: each column contributes one contiguous run per
  // band instead of one scattered pixel per row. The progress still moves row
  // by row. The scheme's arrays are fetched again after every pause, since a
  // command run meanwhile may have replaced them.
  constexpr int kBand = 16;
  for (int y0 = 0; y0 < height && columns; y0 += kBand) {
    const int y1 = std::min(height, y0 + kBand);
    for (int x = 0; x < width; ++x) {
      const MvPixel* column = columns[x];
      for (int y = y0; y < y1; ++y)
        reinterpret_cast<MvPixel*>(picture.scanLine(y))[x] = (column[y] & 0x00FFFFFFu) | 0xFF000000u;
    }
    for (int y = y0; y < y1; ++y) {
      DoProgressPosition(y);
      CurrentPrompts().ProcessMessages();
    }
    if (n >= SchemeManager->GetImageCount() || SchemeManager->GetWidth(n) != width ||
        SchemeManager->GetHeight(n) != height)
      break;  // the node went away or changed shape meanwhile: show what was copied
    columns = SchemeManager->GetPixels(n);
  }
  InformationLabel->setText(QString::fromUtf8(kIdleText));
  view->SetPicture(picture);
  DoProgressVisible(false);
  view->exec();
  delete view;
  SchemeController->Paint();
}

void TMainForm::DoRestoreImage() {
  for (int i : SelectedImages()) {
    SchemeManager->RestoreImage(i);
    SchemeController->ImageRestored(i);
  }
}

void TMainForm::DoExportImage() {
  const LoaderFilter filter = BuildLoaderFilter(*PluginManager, true);
  SaveDialog.filter = filter.Filter;
  const std::vector<int> selected = SelectedImages();
  if (selected.empty()) return;
  int n = selected.front();
  if (!CurrentPrompts().SaveFileDialog(SaveDialog)) return;
  const int loaderIndex = filter.LoaderAt(SaveDialog.filterIndex);
  if (loaderIndex < 0) return;  // no loader behind the chosen entry
  // Writing a large picture can take a while (lossless WebP of 24 megapixels
  // takes seconds): say so, and show the busy pointer meanwhile.
  DoStatusText("Сохранение изображения...");
  CurrentPrompts().ProcessMessages();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool saved = PluginManager->GetLoader(loaderIndex)->SaveImage(&n, SaveDialog.fileName);
  QApplication::restoreOverrideCursor();
  DoStatusText("");
  if (!saved)
    CurrentPrompts().ShowMessage("Не удалось сохранить изображение!", MessageIcon::Error, MessageButtons::Ok,
                                 static_cast<QWidget*>(this));
}

void TMainForm::DoApplyFilter(QObject* sender) {
  auto* item = qobject_cast<QAction*>(sender);
  if (!item) return;
  const int k = item->data().toInt();
  for (int i : SelectedImages()) SchemeManager->ApplyFilter(i, k);
  SchemeController->Paint();
}

void TMainForm::DoFiltersSetup() { SchemeController->ShowFilterOptions(); }
void TMainForm::mnuPopup2Click() { SchemeController->ShowBlendOptions(); }

void TMainForm::DoSwitchShowGrid() {
  // The item has already toggled its own check mark.
  SchemeView->ShowGrid = N15->isChecked();
  SchemeView->SnapToGrid = N15->isChecked();
  SchemeController->Paint();
}

void TMainForm::SetSampleSize(int item, int width, int height) {
  if (!SchemeController) return;
  SchemeView->SampleWidth = width;
  SchemeView->SampleHeight = height;
  SchemeController->Paint();
  for (int i = 0; i < 6; ++i) mnuSampleView[i]->setChecked(i == item);
}

void TMainForm::DoSampleSize1() { SetSampleSize(0, 160, 120); }
void TMainForm::DoSampleSize6() { SetSampleSize(1, 320, 240); }
void TMainForm::DoSampleSize2() { SetSampleSize(2, 64, 64); }
void TMainForm::DoSampleSize3() { SetSampleSize(3, 128, 128); }
void TMainForm::DoSampleSize4() { SetSampleSize(4, 256, 256); }
void TMainForm::DoSampleSize5() { SetSampleSize(5, 512, 512); }

// ---- board events --------------------------------------------------------------

void TMainForm::DoMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  if (!SchemeController) return;
  // Before the press goes on: the view may pop the menu up while handling it.
  const int hot = SchemeView->GetHotImage();
  if (hot != -1) {
    mnuPopup1->setEnabled(SchemeManager->GetChainLength(hot) > 0);
    mnuPopup2->setEnabled(SchemeManager->IsGenerated(hot));
  }
  SchemeController->MouseDown(button, shift, x, y);
}

void TMainForm::DoMouseMove(Qt::KeyboardModifiers shift, int x, int y) {
  if (SchemeController) SchemeController->MouseMove(shift, x, y);
}

void TMainForm::DoMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  if (!SchemeController) return;
  SchemeController->MouseUp(button, shift, x, y);
  if (CombinePending && KeepTwoSelected().size() == 2) DoCombineSelected();
}

void TMainForm::DoDblClick() {
  if (SchemeController) SchemeController->ShowFilterOptions();
}

void TMainForm::DoResize() {
  if (!SchemeController) return;
  const QRect client = sbScrollBox->rect();
  SchemeController->Resize(0, 0, TRect{client.left(), client.top(), client.right() + 1, client.bottom() + 1});
}

void TMainForm::DoPaint() {
  if (SchemeController) SchemeController->Paint();
}

// ---- the tool windows beside a node ----------------------------------------------

void TMainForm::ShowLayers(MvServices* services, int image, QPoint screen) {
  auto* window = new TLayersForm(nullptr);
  window->Services = services;
  window->Image = image;
  window->move(screen);
  window->show();
}

void TMainForm::ShowCombine(MvServices* services, int image, QPoint screen) {
  auto* window = new TCombineForm(nullptr);
  window->Services = services;
  window->Image = image;
  window->move(screen);
  window->show();
}

}  // namespace mv
