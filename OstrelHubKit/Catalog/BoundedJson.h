#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

namespace ostrel::BoundedJson {

// Deepest nesting of objects and arrays accepted from a file or the network; the outermost
// value counts as one. Our own documents stay below ten levels.
constexpr std::size_t maxDepth = 64;

// Whether no object or array in `text` lies deeper than `limit` levels. Only brackets outside
// strings count; malformed text is left to the parser.
bool nestsAtMost(std::string_view text, std::size_t limit);

// `text` parsed as JSON, or none when it is not JSON or nests deeper than maxDepth. The depth
// is checked before parsing, so a hostile document cannot make the parser build a deep tree.
std::optional<nlohmann::json> parse(std::string_view text);

} // namespace ostrel::BoundedJson
