#include "Util/Iso8601.h"

#include <charconv>
#include <cstdio>

namespace ostrel::Iso8601 {
namespace {

// Reads exactly `digits` ASCII digits at `offset`.
std::optional<int> number(std::string_view text, size_t offset, size_t digits) {
    if (offset + digits > text.size())
        return std::nullopt;
    int value = 0;
    for (size_t i = offset; i < offset + digits; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool hasAt(std::string_view text, size_t offset, char c) {
    return offset < text.size() && text[offset] == c;
}

// The zone part after the seconds: "Z" or "+hh:mm" / "-hh:mm", as an offset east of UTC.
std::optional<std::chrono::minutes> zoneOffset(std::string_view zone) {
    if (zone == "Z")
        return std::chrono::minutes(0);
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':')
        return std::nullopt;
    const auto hours = number(zone, 1, 2);
    const auto minutes = number(zone, 4, 2);
    if (!hours || !minutes || *hours > 23 || *minutes > 59)
        return std::nullopt;
    const std::chrono::minutes offset(*hours * 60 + *minutes);
    return zone[0] == '+' ? offset : -offset;
}

} // namespace

std::string format(TimePoint time) {
    const auto day = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss clock(time - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::optional<TimePoint> parse(std::string_view text) {
    const auto year = number(text, 0, 4);
    const auto month = number(text, 5, 2);
    const auto day = number(text, 8, 2);
    const auto hour = number(text, 11, 2);
    const auto minute = number(text, 14, 2);
    const auto second = number(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || !hasAt(text, 4, '-') || !hasAt(text, 7, '-') ||
        !hasAt(text, 10, 'T') || !hasAt(text, 13, ':') || !hasAt(text, 16, ':'))
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year), std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    const auto offset = zoneOffset(text.substr(19));
    if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59 || !offset)
        return std::nullopt;
    return std::chrono::sys_days(date) + std::chrono::hours(*hour) + std::chrono::minutes(*minute) +
           std::chrono::seconds(*second) - *offset;
}

} // namespace ostrel::Iso8601
