#pragma once

#include <cstddef>
#include <string_view>

namespace ostrel::hub {

// Substring search for scanning a whole storefront's folded texts per keystroke: sixteen
// positions at a time, checking the token's first and last bytes before comparing the rest.
// Two-byte tokens, common while typing, are where the C library's search is slowest.
namespace ByteSearch {

// Where `token` first occurs in `text` at or after `from`, like std::string_view::find.
size_t find(std::string_view text, std::string_view token, size_t from = 0);

} // namespace ByteSearch

} // namespace ostrel::hub
