#pragma once

#include "Services/JsonTree.h"

#include <cstddef>
#include <optional>
#include <string>
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
// The tree points into `text`, which must outlive it.
std::optional<JsonTree> parse(std::string_view text);
std::optional<JsonTree> parse(const std::string&&) = delete;

} // namespace ostrel::BoundedJson
