#pragma once

#include <string>
#include <string_view>

namespace ostrel::Text {

// The ASCII letters A-Z lowered; every other byte (UTF-8 included) unchanged.
// For protocol words: host names, header names, file extensions.
std::string asciiLowercase(std::string_view text);

// Equal when the texts differ only in the case of ASCII letters.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The text without ASCII white space (blank, tab, line feed, carriage return,
// vertical tab, form feed) at its start and end. For tool output and protocol
// text; user-visible text uses Unicode::trimmingWhitespace.
std::string_view trimmedAscii(std::string_view text);

} // namespace ostrel::Text
