// The host functions behind MvServices, and what they reach.
//
// The 48 entries are plain functions without an object, so they reach the
// host through one process-wide context: the registry, the scheme and the
// main window (through HostWindow, which the main window implements and the
// command-line tool and tests replace). Entries whose target is not there yet
// (no scheme during plug-in loading, no window in the command-line tool) give
// their neutral answer.
#pragma once

#include <string>

#include "MvPlugin.h"

namespace mv {

class TPluginManager;
class TSchemeManager;

/// What the services entries 40 to 47 need of the main window.
class HostWindow {
 public:
  virtual ~HostWindow() = default;
  /// Entry 40: the main window (a QWidget*), or null.
  virtual void* MainWindowHandle() = 0;
  /// Entry 41: the board window (a QWidget*), or null.
  virtual void* BoardWindowHandle() = 0;
  /// Entry 42: re-lay out and repaint the board.
  virtual void RefreshBoard() = 0;
  /// Entries 43-46: the progress bar. The services entry processes pending
  /// window messages afterwards; these only set the property.
  virtual void ShowProgress(bool visible) = 0;
  virtual void SetProgressMin(int value) = 0;
  virtual void SetProgressMax(int value) = 0;
  virtual void SetProgressPosition(int value) = 0;
  /// Entry 47: status line := text (UTF-8; already converted from CP1251).
  /// Unless delayMs is -1 the idle text returns after delayMs milliseconds.
  virtual void ShowStatus(const std::string& text, int delayMs) = 0;
};

/// The parts of the host the services entries reach. None is owned.
struct HostContext {
  TPluginManager* Registry = nullptr;
  TSchemeManager* Scheme = nullptr;
  HostWindow* Window = nullptr;
};

/// The process's context (all null until set).
HostContext& Host();

/// Fills all 48 entries of `table`. false (and nothing done) for a null table.
bool InitServices(MvServices* table);

}  // namespace mv
