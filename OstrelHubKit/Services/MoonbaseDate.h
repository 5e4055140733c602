#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The timestamp forms both services send: ISO 8601 internet date-times with or
// without fractional seconds of any length, and with or without a zone (none
// means UTC). Stateless.
namespace MoonbaseDate {

// The point in time the text names, or nothing when it is not one of those forms.
std::optional<std::chrono::system_clock::time_point> parse(std::string_view text);

// Fractions longer than three digits cut to three, the way the store's
// millisecond parser needs them: "05.1234567Z" becomes "05.123Z".
std::string trimFractions(std::string_view text);

} // namespace MoonbaseDate

} // namespace ostrel
