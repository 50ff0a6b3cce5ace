// Helpers shared by the tests: a temporary folder, a scripted UI seam, and a
// guard that restores the current directory.
#pragma once

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "Prompts.h"

namespace mv::test {

/// A fresh empty folder under the system's temporary folder, removed with its
/// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

/// Restores the process's current directory when it goes out of scope.
class CurrentDirGuard {
 public:
  CurrentDirGuard() : saved_(std::filesystem::current_path()) {}
  ~CurrentDirGuard() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

/// Copies a built test plug-in from the fixture folder to `dir/as`.
void CopyFixture(const std::string& fixtureName, const std::filesystem::path& dir, const std::string& as);
/// The folder holding the built test plug-ins.
std::filesystem::path FixtureDir();
/// build/bin, where the program, the shipped plug-ins and the help page are.
std::filesystem::path BinDir();

/// A Prompts that records every message and answers from scripts. Installed
/// for its lifetime.
class ScriptedPrompts final : public Prompts {
 public:
  struct Message {
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
    void* owner;
  };

  ScriptedPrompts() { SetPrompts(this); }
  ~ScriptedPrompts() override { SetPrompts(nullptr); }

  MessageResult ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons, void* owner) override;
  bool OpenFileDialog(FileDialogRequest& request) override;
  bool SaveFileDialog(FileDialogRequest& request) override;
  bool OpenWithDesktop(const std::string& path) override;
  void ProcessMessages() override { ++processed; }

  /// Answer of the next YesNo question (default Yes when the queue is empty).
  std::deque<MessageResult> answers;
  /// Next dialog results: a path and filter index; an empty path means cancel.
  struct DialogAnswer {
    std::string path;
    int filterIndex = 1;
  };
  std::deque<DialogAnswer> dialogAnswers;

  std::vector<Message> messages;
  std::vector<FileDialogRequest> dialogs;  // every request as it was asked
  std::vector<std::string> opened;         // OpenWithDesktop calls
  int processed = 0;
};

}  // namespace mv::test
