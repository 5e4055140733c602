#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// Standard base64 (RFC 4648 section 4) of any bytes, with "=" padding.
std::string base64Encode(std::string_view bytes);

// The URL-safe form without padding: "+" becomes "-", "/" becomes "_", and "=" is dropped.
std::string base64UrlEncode(std::string_view bytes);

// Strict decoding of standard base64: the length must be a multiple of 4, padding may only
// end the text, and any other character fails. Leftover bits of the last group are ignored.
std::optional<std::string> base64Decode(std::string_view text);

} // namespace ostrel
