#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrel::demo {

// `bytes` random bytes from OpenSSL's generator in base64url without padding.
std::string randomToken(size_t bytes);
// `count` random characters of `alphabet` (digits by default): codes a person types.
std::string randomCode(size_t count, std::string_view alphabet = "0123456789");

} // namespace ostrel::demo
