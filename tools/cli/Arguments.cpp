#include "Arguments.h"

#include <cctype>
#include <charconv>

#include "MvText.h"

namespace mv::cli {

namespace fs = std::filesystem;

std::string Action::Label() const { return Argument.empty() ? Option : Option + " " + Argument; }

std::optional<int> ParseIndex(std::string_view text) {
  if (text.empty()) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::uint8_t> ParseMask(std::string_view text) {
  if (text.empty()) return std::nullopt;
  if (auto n = ParseIndex(text)) {
    if (*n > 7) return std::nullopt;
    return static_cast<std::uint8_t>(*n);
  }
  std::uint8_t mask = 0;
  for (char c : text) {
    std::uint8_t bit = 0;
    switch (std::tolower(static_cast<unsigned char>(c))) {
      case 'r': bit = 1; break;
      case 'g': bit = 2; break;
      case 'b': bit = 4; break;
      default: return std::nullopt;
    }
    if (mask & bit) return std::nullopt;
    mask |= bit;
  }
  return mask;
}

fs::path ResolvePath(const std::string& value, const fs::path& base) {
  fs::path p(value);
  return (p.is_absolute() ? p : base / p).lexically_normal();
}

namespace {

// Splits at the first ':'; false when there is none.
bool SplitFirst(std::string_view text, std::string_view& head, std::string_view& tail) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  head = text.substr(0, colon);
  tail = text.substr(colon + 1);
  return true;
}

[[noreturn]] void Bad(const std::string& option, const std::string& value, const std::string& why) {
  throw ArgumentError(option + " " + value + ": " + why);
}

int NodeOf(std::string_view text, const std::string& option, const std::string& value, const char* what = "NODE") {
  auto n = ParseIndex(text);
  if (!n) Bad(option, value, std::string(what) + " must be a node index (0, 1, ...), not '" + std::string(text) + "'");
  return *n;
}

}  // namespace

Action ParseAction(ActionKind kind, const std::string& option, const std::string& value, const fs::path& base) {
  Action a;
  a.Kind = kind;
  a.Option = option;
  a.Argument = value;
  std::string_view head, tail;
  switch (kind) {
    case ActionKind::Open:
    case ActionKind::Add:
    case ActionKind::Save:
      if (value.empty()) Bad(option, value, "a file name is needed");
      a.Path = ResolvePath(value, base);
      break;
    case ActionKind::Filter:
      if (!SplitFirst(value, head, tail)) Bad(option, value, "expected NODE:ID");
      a.Node = NodeOf(head, option, value);
      if (tail.empty()) Bad(option, value, "the filter identifier is empty");
      a.Identifier = Utf8ToCp1251(tail);
      break;
    case ActionKind::Mask: {
      std::string_view k, mask;
      if (!SplitFirst(value, head, tail) || !SplitFirst(tail, k, mask)) Bad(option, value, "expected NODE:K:MASK");
      a.Node = NodeOf(head, option, value);
      auto kk = ParseIndex(k);
      if (!kk) Bad(option, value, "K must be a chain position (0, 1, ...), not '" + std::string(k) + "'");
      a.Second = *kk;
      auto m = ParseMask(mask);
      if (!m) Bad(option, value, "MASK must be 0..7 or letters of 'rgb', not '" + std::string(mask) + "'");
      a.Value = *m;
      break;
    }
    case ActionKind::Blend:
      if (!SplitFirst(value, head, tail)) Bad(option, value, "expected A:B");
      a.Node = NodeOf(head, option, value, "A");
      a.Second = NodeOf(tail, option, value, "B");
      break;
    case ActionKind::Ratio: {
      if (!SplitFirst(value, head, tail)) Bad(option, value, "expected NODE:R");
      a.Node = NodeOf(head, option, value);
      auto r = ParseIndex(tail);
      if (!r || *r > 100) Bad(option, value, "R must be a ratio 0..100, not '" + std::string(tail) + "'");
      a.Value = *r;
      break;
    }
    case ActionKind::Restore:
    case ActionKind::Delete:
      a.Node = NodeOf(value, option, value);
      break;
    case ActionKind::Export:
      if (!SplitFirst(value, head, tail)) Bad(option, value, "expected NODE:FILE");
      a.Node = NodeOf(head, option, value);
      if (tail.empty()) Bad(option, value, "the file name is empty");
      a.Path = ResolvePath(std::string(tail), base);
      break;
    case ActionKind::Info:
    case ActionKind::Batch:
      break;
  }
  return a;
}

std::vector<ChainStep> ParseChain(const std::string& value) {
  std::vector<ChainStep> chain;
  std::string_view rest(value);
  while (true) {
    const auto comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    ChainStep step;
    std::string_view id = item, mask;
    if (SplitFirst(item, id, mask)) {
      auto m = ParseMask(mask);
      if (!m) Bad("--chain", value, "MASK must be 0..7 or letters of 'rgb', not '" + std::string(mask) + "'");
      step.Mask = *m;
    }
    if (id.empty()) Bad("--chain", value, "expected ID[:MASK],... with no empty entry");
    step.Identifier = Utf8ToCp1251(id);
    chain.push_back(std::move(step));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return chain;
}

}  // namespace mv::cli
