// The command line of marvolen-cli turned into a list of actions.
//
// Each action keeps the option and the text it came from, so that every
// message can name the argument at fault. Syntax is checked here, while the
// command line is parsed and before anything is loaded or changed; what can
// only be checked against the plug-ins (filter identifiers, a loader for an
// export's file type) is checked once they are loaded, before the first action
// runs; node indices and chain positions are checked by each action against
// the scheme as it stands when that action runs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mv::cli {

enum class ActionKind { Open, Add, Filter, Mask, Blend, Ratio, Restore, Delete, Export, Save, Info, Batch };

/// A malformed argument. The message names the option and its value.
class ArgumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// One action in command-line order.
struct Action {
  ActionKind Kind = ActionKind::Info;
  std::string Option;    // "--mask"
  std::string Argument;  // the value as given, "0:1:5"
  int Node = -1;         // NODE, or A of --blend
  int Second = -1;       // K of --mask, B of --blend
  int Value = 0;         // MASK of --mask, R of --ratio
  std::string Identifier;           // --filter: the filter identifier (CP1251 bytes)
  std::filesystem::path Path;       // --open, --add, --export, --save: absolute
  int Plugin = -1;  // resolved after loading: filter index (--filter) or saving loader (--export)

  /// "--mask 0:1:5", for messages.
  std::string Label() const;
};

/// One entry of a batch chain.
struct ChainStep {
  std::string Identifier;     // CP1251 bytes
  std::uint8_t Mask = 7;
  int Filter = -1;            // registry index, resolved after loading
};

/// Everything --batch needs.
struct BatchJob {
  std::filesystem::path Input;   // absolute
  std::filesystem::path Output;  // absolute
  std::vector<ChainStep> Chain;
  std::string Format;  // "" (keep each input's own file type), "png", "jpg", "bmp", "tif", "webp"
  int Saver = -1;      // resolved saving loader for Format, -1 when Format is empty
};

/// A node index or chain position: decimal digits only, within int.
std::optional<int> ParseIndex(std::string_view text);
/// A channel mask: a number 0..7, or letters from "rgb" (any case, each once).
std::optional<std::uint8_t> ParseMask(std::string_view text);

/// Parses the value of one action option. `base` is the directory the command
/// was started in; relative paths are made absolute against it. Throws
/// ArgumentError.
Action ParseAction(ActionKind kind, const std::string& option, const std::string& value,
                   const std::filesystem::path& base);

/// Parses "ID[:MASK],ID[:MASK],...". Throws ArgumentError.
std::vector<ChainStep> ParseChain(const std::string& value);

/// Makes `value` absolute against `base`.
std::filesystem::path ResolvePath(const std::string& value, const std::filesystem::path& base);

}  // namespace mv::cli
