#pragma once

#include <cstdint>
#include <string_view>

namespace ostrel::HttpStatus {

// The standard reason phrase of an HTTP status code ("Internal Server Error"
// for 500), used where a failed answer carries no message of its own. Codes
// without a registered phrase get the name of their class ("Client Error" for
// an unregistered 4xx); codes outside 100 to 599 get "Unknown Status".
std::string_view reasonPhrase(int64_t status);

} // namespace ostrel::HttpStatus
