#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrel::demo {

// ASCII lower case (identifiers, platform names and moderated words are ASCII).
std::string lowercased(std::string_view text);
// base64url with or without padding; none for anything else.
std::optional<std::string> base64UrlDecode(std::string_view text);

} // namespace ostrel::demo
