// The little JSON that --info needs: quoted strings.
#pragma once

#include <string>
#include <string_view>

namespace mv::cli {

/// `text` (UTF-8) as a JSON string literal, quotes included: '"' and '\'
/// escaped, control characters as \n, \t ... or \u00XX, everything else as is.
std::string JsonString(std::string_view text);

}  // namespace mv::cli
