// What stands in for the window in marvolen-cli: message boxes become lines on
// standard error, the status line shows there only when asked to be verbose,
// and the batch draws its own progress. Standard output carries nothing but
// the JSON of --info.
#pragma once

#include <cstdio>
#include <string>

#include "HostServices.h"
#include "Prompts.h"

namespace mv::cli {

/// Writes "marvolen-cli: text" and a line break to standard error.
void PrintError(const std::string& text);

/// Every message box of the host becomes an error line. Questions are
/// answered "No" (nobody is there to say yes), dialogs are cancelled.
class ConsolePrompts final : public Prompts {
 public:
  MessageResult ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons,
                            void* owner) override;
  bool OpenFileDialog(FileDialogRequest&) override { return false; }
  bool SaveFileDialog(FileDialogRequest&) override { return false; }
  bool OpenWithDesktop(const std::string&) override { return false; }
  void ProcessMessages() override {}

  /// Messages shown so far.
  int Shown = 0;
};

/// The window the services table talks to: no handles, nothing to repaint,
/// progress ignored, status text on standard error when verbose.
class ConsoleWindow final : public HostWindow {
 public:
  explicit ConsoleWindow(bool verbose) : verbose_(verbose) {}
  void* MainWindowHandle() override { return nullptr; }
  void* BoardWindowHandle() override { return nullptr; }
  void RefreshBoard() override {}
  void ShowProgress(bool) override {}
  void SetProgressMin(int) override {}
  void SetProgressMax(int) override {}
  void SetProgressPosition(int) override {}
  void ShowStatus(const std::string& text, int delayMs) override;
  /// The scheme's status notification (UTF-8).
  void Status(const std::string& text);

 private:
  bool verbose_;
};

/// The batch's progress on standard error: a bar redrawn in place on a
/// terminal, one plain line per finished file otherwise.
class BatchProgress {
 public:
  /// `terminal`: draw a bar (the caller decides, usually isatty on stderr).
  BatchProgress(int total, bool terminal, std::FILE* out = stderr);
  /// File number `index` (from 0) named `name` starts.
  void Begin(int index, const std::string& name);
  /// It ended; `failure` is empty when it succeeded.
  void End(int index, const std::string& name, const std::string& failure);
  /// All files are done: ends the bar's line.
  void Finish();

 private:
  void DrawBar(int done, const std::string& name);

  int total_;
  bool terminal_;
  std::FILE* out_;
  bool drawn_ = false;
};

}  // namespace mv::cli
