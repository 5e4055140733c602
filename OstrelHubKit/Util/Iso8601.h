#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::Iso8601 {

using TimePoint = std::chrono::sys_seconds;

// "2026-01-31T09:30:00Z": whole seconds, always UTC.
std::string format(TimePoint time);

// The internet date-time form: date, "T", time to the second, then "Z" or an
// offset such as "+01:00". No fractional seconds. Nothing for any other text.
std::optional<TimePoint> parse(std::string_view text);

} // namespace ostrel::Iso8601
