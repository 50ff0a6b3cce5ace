// The UI seam: everything core code needs to tell or ask the user.
//
// Core code (registry, model, project file) never calls Qt. Where it must show
// a message it calls the Prompts installed for the process. The program
// installs the Qt implementation (message boxes always on top with the
// application title as caption, file dialogs, the desktop's file handler,
// processing pending window messages); the command-line tool installs one that
// writes to standard error; tests install a scripted one that answers dialogs
// and records every message.
//
// All texts here are UTF-8. Plug-in texts (CP1251) are converted before they
// reach this interface.
#pragma once

#include <string>

namespace mv {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageResult { Ok, Yes, No };

/// One file-dialog request. `filter` is in "name|mask|name|mask" form, masks
/// separated by ';' (as loader plug-ins give them). `filterIndex` counts from 1
/// and names the entry that is selected at start and, on return, the entry the
/// user chose.
struct FileDialogRequest {
  std::string title;
  std::string filter;
  std::string defaultExtension;  // appended (with a dot) to a name without one; save only
  std::string fileName;          // proposed name in, chosen path out
  int filterIndex = 1;
};

class Prompts {
 public:
  virtual ~Prompts() = default;

  /// A modal message box. `owner` is the owning window (a QWidget* in the
  /// program) or null for a box without owner. The caption is always the
  /// application title.
  virtual MessageResult ShowMessage(const std::string& text, MessageIcon icon,
                                    MessageButtons buttons = MessageButtons::Ok,
                                    void* owner = nullptr) = 0;
  /// Runs an open dialog; false when the user cancelled.
  virtual bool OpenFileDialog(FileDialogRequest& request) = 0;
  /// Runs a save dialog; false when the user cancelled.
  virtual bool SaveFileDialog(FileDialogRequest& request) = 0;
  /// Opens a file with the desktop's handler for it; false when that failed.
  virtual bool OpenWithDesktop(const std::string& path) = 0;
  /// Lets the application process pending window messages once.
  virtual void ProcessMessages() = 0;
};

/// The Prompts of the process. Until SetPrompts installs one, a default is in
/// place that prints messages to standard error, answers questions "No",
/// cancels dialogs and processes nothing.
Prompts& CurrentPrompts();
/// Installs `prompts` (not owned; it must outlive its use) or, with null, the default.
void SetPrompts(Prompts* prompts);

}  // namespace mv
