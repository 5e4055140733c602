#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrel::Unicode {

// Decodes UTF-8 and encodes it again, with every invalid sequence replaced by
// U+FFFD. Never fails.
std::string repairUtf8(std::string_view bytes);

// How many user-perceived characters (extended grapheme clusters) the text holds.
size_t characterCount(std::string_view utf8);

// The first `count` user-perceived characters of the text.
std::string characterPrefix(std::string_view utf8, size_t count);

// One Unicode scalar decoded from UTF-8, and how many bytes it took. An
// invalid sequence yields U+FFFD and one byte.
struct Scalar {
    char32_t value;
    size_t length;
};
Scalar decodeScalar(std::string_view utf8, size_t offset);

bool isNumeric(char32_t c);    // general categories Nd, Nl, No
bool isBlank(char32_t c);      // space separators and the tab
bool isWhitespace(char32_t c); // blanks, line and paragraph separators, and the line-break controls
bool isControl(char32_t c);    // general categories Cc and Cf

// True when the bytes are well-formed UTF-8: no overlong forms, surrogates
// or scalars past U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// The text without the white space (isWhitespace) at its start and end.
std::string_view trimmingWhitespace(std::string_view utf8);

} // namespace ostrel::Unicode
