// marvolen-cli: the Marvolen workbench without a window, for batch work and
// scripts. It loads the same plug-ins into the same registry and scheme as
// the program and runs the actions of its command line in the order given.
//
// Exit status: 0 when every action succeeded, 1 when one failed (the actions
// after it are not run), 2 for a bad command line (nothing was changed).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "AppInfo.h"
#include "Arguments.h"
#include "Console.h"
#include "Workbench.h"

namespace fs = std::filesystem;
using namespace mv::cli;

namespace {

constexpr int kActionFailed = 1;
constexpr int kBadCommandLine = 2;

fs::path ExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : exe.parent_path();
}

}  // namespace

int main(int argc, char** argv) {
  std::error_code ec;
  // Relative paths name files from where the command was started, even
  // though loading the plug-ins moves the current directory.
  const fs::path startDir = fs::current_path(ec);

  CLI::App app{"Marvolen's workbench without a window: runs the plug-ins and the scheme of the program on the "
               "actions given, in the order given.",
               "marvolen-cli"};
  app.set_version_flag("--version", std::string(mv::kApplicationTitle));
  app.get_formatter()->column_width(30);
  app.footer(
      "Actions run in the order given; nodes are numbered from 0 in the order they are added, and deleting a node "
      "renumbers the later ones. Relative paths are taken from the current directory.\n"
      "Exit status: 0 when every action succeeded; 1 when one failed (the actions after it are not run); "
      "2 for a bad command line (nothing was done).");

  std::string pluginsDir;
  bool verbose = false;
  std::vector<Action> actions;
  std::optional<BatchJob> batch;
  std::string chain, out, format;

  app.add_option("--plugins", pluginsDir, "Folder to load plug-ins from (default: Plugins beside the program)")
      ->type_name("DIR");
  app.add_flag("-v,--verbose", verbose, "Show the status text on standard error");

  auto action = [&](const char* name, ActionKind kind, const char* type, const char* help) {
    app.add_option_function<std::string>(
           name,
           [&, kind, name](const std::string& value) {
             try {
               actions.push_back(ParseAction(kind, name, value, startDir));
             } catch (const ArgumentError& e) {
               throw CLI::ValidationError(e.what());
             }
           },
           help)
        ->type_name(type)
        ->trigger_on_parse();
  };
  action("--open", ActionKind::Open, "PROJECT", "Open a project file (.mvl)");
  action("--add", ActionKind::Add, "IMAGE", "Add an image as a new node");
  action("--filter", ActionKind::Filter, "NODE:ID", "Apply the filter with identifier ID to node NODE");
  action("--mask", ActionKind::Mask, "NODE:K:MASK", "Set the channels (0..7 or r,g,b letters) of chain entry K");
  action("--blend", ActionKind::Blend, "A:B", "Blend nodes A and B (ratio 50) into a new node");
  action("--ratio", ActionKind::Ratio, "NODE:R", "Set the blend ratio (0..100) of a blended node");
  action("--restore", ActionKind::Restore, "NODE", "Drop the node's filter chain");
  action("--delete", ActionKind::Delete, "NODE", "Delete the node and the nodes blended from it");
  action("--export", ActionKind::Export, "NODE:FILE", "Save the node's image; FILE's extension picks the format");
  action("--save", ActionKind::Save, "PROJECT", "Save the scheme as a project file");
  app.add_flag_function(
         "--info", [&](std::int64_t) { actions.push_back(ParseAction(ActionKind::Info, "--info", "", startDir)); },
         "Print the plug-ins and the scheme as JSON on standard output")
      ->trigger_on_parse();

  CLI::Option* batchOpt = app.add_option_function<std::string>(
                                 "--batch",
                                 [&](const std::string& value) {
                                   actions.push_back(ParseAction(ActionKind::Batch, "--batch", value, startDir));
                                   batch.emplace();
                                   batch->Input = ResolvePath(value, startDir);
                                 },
                                 "Apply --chain to every image of folder DIR, writing the results to --out")
                             ->type_name("DIR")
                             ->trigger_on_parse();
  CLI::Option* chainOpt =
      app.add_option("--chain", chain, "The batch's filters, applied in this order")->type_name("ID[:MASK],...");
  CLI::Option* outOpt = app.add_option("--out", out, "The batch's output folder")->type_name("DIR");
  CLI::Option* formatOpt = app.add_option("--format", format, "The batch's output format (default: each input's own)")
                               ->type_name("FORMAT")
                               ->check(CLI::IsMember({"png", "jpg", "bmp", "tif", "webp"}, CLI::ignore_case));
  chainOpt->needs(batchOpt);
  outOpt->needs(batchOpt);
  formatOpt->needs(batchOpt);
  batchOpt->needs(chainOpt)->needs(outOpt);

  try {
    app.parse(argc, argv);
    if (batchOpt->count() > 1) throw CLI::ValidationError("--batch", "only one batch per run");
    if (batch) {
      try {
        batch->Chain = ParseChain(chain);
      } catch (const ArgumentError& e) {
        throw CLI::ValidationError(e.what());
      }
      batch->Output = ResolvePath(out, startDir);
      for (auto& c : format) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      batch->Format = format;
    }
    if (actions.empty()) throw CLI::ValidationError("no action given");
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    PrintError(std::string(e.what()) + " (see --help)");
    return kBadCommandLine;
  }

  try {
    Workbench bench(verbose);
    std::string error;
    const bool defaultFolder = pluginsDir.empty();
    const fs::path folder = defaultFolder ? ExecutableFolder() / "Plugins" : ResolvePath(pluginsDir, startDir);
    if (!bench.LoadPlugins(folder, !defaultFolder, error)) {
      PrintError("--plugins " + (defaultFolder ? folder.string() : pluginsDir) + ": " + error);
      return kBadCommandLine;
    }
    if (!bench.Resolve(actions, batch ? &*batch : nullptr, error)) {
      PrintError(error);
      return kBadCommandLine;
    }
    for (const auto& a : actions)
      if (!bench.Run(a, batch ? &*batch : nullptr)) return kActionFailed;
    return 0;
  } catch (const std::exception& e) {
    PrintError(e.what());
    return kActionFailed;
  }
}
