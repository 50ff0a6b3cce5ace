// The workbench without a window: the registry, the scheme and the services
// table wired as the program wires them, and the command-line actions run on
// them, each through the model operation the program uses for it.
//
// Lifetime. One Workbench per process. It installs itself in the services
// context (Host()) and its Prompts as the process's UI seam while it lives;
// its destructor clears the scheme and then removes every plug-in (finalised
// and deleted), as the main window does when it closes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Arguments.h"
#include "Console.h"
#include "MvPlugin.h"
#include "PluginManager.h"
#include "SchemeManager.h"

namespace mv::cli {

class Workbench {
 public:
  explicit Workbench(bool verbose);
  ~Workbench();
  Workbench(const Workbench&) = delete;
  Workbench& operator=(const Workbench&) = delete;

  /// Loads the plug-ins of `folder`, by the registry's own folder scan. The
  /// current directory is the plug-in folder afterwards. With `mustExist`
  /// a missing folder is an error; otherwise it is created, as the program
  /// creates its missing Plugins folder. false with `error` set.
  bool LoadPlugins(const std::filesystem::path& folder, bool mustExist, std::string& error);

  /// Checks and resolves what depends on the loaded plug-ins: the filters
  /// named by --filter and the batch chain, a saving loader for every export
  /// and for the batch format, and the batch folders. Nothing is changed.
  /// false with `error` naming the argument.
  bool Resolve(std::vector<Action>& actions, BatchJob* batch, std::string& error);

  /// Runs one action; `batch` is used by --batch. false when it failed (the
  /// reason is already on standard error).
  bool Run(const Action& action, const BatchJob* batch);

  /// The plug-ins and the scheme as one JSON object (UTF-8), with a final line break.
  std::string InfoJson();

 private:
  bool RunAction(const Action& action, const BatchJob* batch);
  bool RunBatch(const Action& action, const BatchJob& job);
  bool Fail(const Action& action, const std::string& why);
  bool NodeExists(const Action& action, int node, const char* what = "node");

  /// Index of the filter with this identifier, or -1.
  int FindFilterIndex(const std::string& identifier);
  /// The first loader that can save and whose file mask matches `file`'s name, or -1.
  int FindSaver(const std::filesystem::path& file);
  /// The saving loaders' masks, for messages ("*.png, *.jpg;*.jpeg").
  std::string SaverMasks();
  /// The file matches the mask of a loader that can load.
  bool LooksLoadable(const std::filesystem::path& file);
  /// Adds `file` as a new node as the program's add command does. On failure
  /// every node it appended is deleted again and `error` says why.
  bool AddImageFile(const std::filesystem::path& file, int& node, std::string& error);
  /// Deletes nodes from the end until `count` are left.
  void TrimTo(int count);

  bool verbose_;
  ConsolePrompts prompts_;
  ConsoleWindow window_;
  MvServices services_{};
  TPluginManager registry_;
  TSchemeManager scheme_;
};

}  // namespace mv::cli
