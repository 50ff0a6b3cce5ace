// The main window: the board with its tool and status strips, the main menu and
// the node popup, every command, the status line and the progress bar.
//
// The constructor does the whole start-up wiring in a fixed order: the host
// services table, the plug-in registry (which loads the plug-in folder of the
// current directory), the scheme model, the view, the board surface, the
// controller with the five notifications, the two gradient strips and the
// "Фильтры" menu. The first show warns about missing plug-ins; closing the
// window finalises and deletes every plug-in.
//
// Ownership: the window owns the services table, the registry, the model, the
// view and the controller, and releases them (after removing any plug-ins still
// registered) when it is destroyed; they outlive every call into them. It
// registers itself, the registry and the model in the process's host context
// (Host()) for the services entries and takes them out again when destroyed.
// The about box and the plug-in information window are the program's; the
// window only uses them (AboutForm, PluginInfoForm).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>

#include "Bitmap.h"
#include "Canvas.h"
#include "HostServices.h"
#include "Prompts.h"
#include "SchemeView.h"
#include "SystemColours.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QTimer;

namespace mv {

class BoardSurface;
class MenuStyle;
class TAboutForm;
class TPluginInfoForm;
class TPluginManager;
class TSchemeController;
class TSchemeManager;

/// Fills `target` row by row from `top` (row 0, exactly) towards `bottom`:
/// channel value top - ((top - bottom) * y) / height, truncated toward zero,
/// so the last row never quite reaches `bottom`.
void PaintStripGradient(Bitmap& target, MvPixel top, MvPixel bottom);

/// A file-dialog filter built from the loaders that take part, in registry
/// order, with the loader index behind each entry (entry n, counted from 1, is
/// Loaders[n - 1]).
struct LoaderFilter {
  std::string Filter;  // "name|mask|name|mask", names converted to UTF-8
  std::vector<int> Loaders;
  /// The loader behind dialog entry `filterIndex`, or -1.
  int LoaderAt(int filterIndex) const;
};
/// The loaders that can load (forSave false) or save (forSave true).
LoaderFilter BuildLoaderFilter(TPluginManager& registry, bool forSave);

class TMainForm : public QMainWindow, public HostWindow, private ToolWindowFactory {
 public:
  /// The whole start-up sequence; loads the plug-ins from the folder "Plugins"
  /// of the current directory (which stays the current directory afterwards).
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // ---- the parts of the host (owned) --------------------------------------
  TPluginManager* PluginManager = nullptr;
  TSchemeManager* SchemeManager = nullptr;
  TSchemeView* SchemeView = nullptr;
  TSchemeController* SchemeController = nullptr;
  MvServices* Services = nullptr;
  /// "Сложение изображений" waits for two selected nodes.
  bool CombinePending = false;
  /// Path of the current project; empty when never saved or opened.
  std::string ProjectFileName;

  /// The program's about box and plug-in information window (not owned; may be null).
  TAboutForm* AboutForm = nullptr;
  TPluginInfoForm* PluginInfoForm = nullptr;

  // ---- components, by their designer names ---------------------------------
  QWidget* PTools = nullptr;
  QLabel* imTools = nullptr;
  BoardSurface* sbScrollBox = nullptr;
  QWidget* PStatusBar = nullptr;
  QLabel* imStatusBar = nullptr;
  QLabel* InformationLabel = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QMenuBar* MainMenu = nullptr;
  QMenu* ItemPopupMenu = nullptr;
  QTimer* DelayTimer = nullptr;
  // Main menu. Top-level and submenu items are the menus' own actions.
  QMenu *mnuFile = nullptr, *mnuScheme = nullptr, *mnuSampleSize = nullptr, *mnuSample = nullptr,
        *mnuFilters = nullptr, *mnuHelp = nullptr;
  QAction *N1 = nullptr, *N2 = nullptr, *N3 = nullptr, *N4 = nullptr, *N5 = nullptr, *N6 = nullptr,
          *N7 = nullptr, *N8 = nullptr, *N9 = nullptr, *N10 = nullptr, *N11 = nullptr, *N12 = nullptr,
          *N13 = nullptr, *N14 = nullptr, *N15 = nullptr, *N16 = nullptr, *N17 = nullptr, *N18 = nullptr,
          *N23 = nullptr, *N24 = nullptr, *N25 = nullptr, *N26 = nullptr, *N27 = nullptr, *N28 = nullptr,
          *N29 = nullptr, *N30 = nullptr, *N31 = nullptr, *N35 = nullptr;
  QAction* mnuSampleView[6] = {};  // mnuSampleView1 .. mnuSampleView6
  // Node popup.
  QAction *mnuPopup1 = nullptr, *mnuPopup2 = nullptr, *mnuPopup3 = nullptr, *mnuPopup4 = nullptr,
          *mnuPopup5 = nullptr, *mnuPopup7 = nullptr;
  QAction *mnuPopupBreak1 = nullptr, *mnuPopupBreak2 = nullptr, *mnuPopupBreak3 = nullptr,
          *mnuPopupBreak4 = nullptr;
  // File dialogs: their settings, and the filter entry chosen last.
  FileDialogRequest OpenDialog, SaveDialog, OpenDialogMVL, SaveDialogMVL;

  /// The window's font: Tahoma, 11 pixels high.
  FontSpec WindowFont;

  // ---- lifecycle ----------------------------------------------------------------
  /// The missing-plug-in warnings (first show).
  void FormShow();
  /// Removes every filter item and every plug-in (each finalised and deleted)
  /// and lets the window be freed.
  void DoCloseForm();
  void DoExitApplication();

  // ---- notifications of the controller and the model ---------------------------
  void DoProgressMin(int value);
  void DoProgressMax(int value);
  void DoProgressPosition(int value);
  void DoProgressVisible(bool visible);
  /// Status line := text; an empty text puts the idle text.
  void DoStatusText(const std::string& text);
  /// DelayTimer's tick: idle text, timer stopped.
  void DoRestoreInformationLabel();

  // ---- project and application commands ------------------------------------------
  void DoNewProject();
  void DoOpenProject();
  void N4Click();
  void DoSaveAs();
  void DoHelp();
  void DoPluginInfo();
  void DoShowAbout();

  // ---- node commands ---------------------------------------------------------
  void DoAddImage();
  void DoDeleteImage();
  void DoImageCombine();
  void DoCombineSelected();
  void DoViewFullImage();
  void DoRestoreImage();
  void DoExportImage();
  /// Applies the filter whose registry index is the Tag (data) of `sender`, a
  /// "Фильтры" item, to every selected node; anything else does nothing.
  void DoApplyFilter(QObject* sender);
  void DoFiltersSetup();
  void mnuPopup2Click();
  void DoSwitchShowGrid();
  void DoSampleSize1();
  void DoSampleSize2();
  void DoSampleSize3();
  void DoSampleSize4();
  void DoSampleSize5();
  void DoSampleSize6();

  // ---- board events ----------------------------------------------------------
  void DoMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  void DoMouseMove(Qt::KeyboardModifiers shift, int x, int y);
  void DoMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  void DoDblClick();
  void DoResize();
  void DoPaint();

  /// Arms DelayTimer: 4000 ms, running.
  void ArmDelayTimer();
  /// The path of the help page beside the program.
  static std::string HelpFilePath();

  // ---- HostWindow (services entries 40 to 47) ----------------------------------
  void* MainWindowHandle() override;
  void* BoardWindowHandle() override;
  void RefreshBoard() override;
  void ShowProgress(bool visible) override;
  void SetProgressMin(int value) override;
  void SetProgressMax(int value) override;
  void SetProgressPosition(int value) override;
  void ShowStatus(const std::string& text, int delayMs) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // ToolWindowFactory: the layers and combine windows beside a node.
  void ShowLayers(MvServices* services, int image, QPoint screen) override;
  void ShowCombine(MvServices* services, int image, QPoint screen) override;

  void BuildLayout();
  void BuildMenus();
  void BuildStrips();
  void FillFilterMenu();
  void SetSampleSize(int item, int width, int height);
  /// Deselects every selected node after the second (index order); returns
  /// the selected indices that remain.
  std::vector<int> KeepTwoSelected();
  std::vector<int> SelectedImages();
  /// Removes every loader, then every filter, from the registry.
  void RemoveAllPlugins();
  bool SaveProjectTo(const std::string& path);

  MenuStyle* menuStyle_ = nullptr;  // owned through the QObject tree
  bool shown_ = false;
  SystemColours colours_;
};

}  // namespace mv
