#include "Services/MoonbaseDate.h"

#include <cctype>
#include <cstddef>

namespace ostrel::MoonbaseDate {

namespace {

using std::chrono::system_clock;
// Four-digit years reach past what the nanosecond clock can hold, so the
// parts are added up in milliseconds and the range is checked at the end.
using Millis = std::chrono::sys_time<std::chrono::milliseconds>;

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Reads exactly `count` digits at `pos` and moves past them.
std::optional<int> digits(std::string_view text, std::size_t& pos, std::size_t count) {
    if (text.size() - pos < count)
        return std::nullopt;
    int value = 0;
    for (std::size_t end = pos + count; pos < end; ++pos) {
        if (!isDigit(text[pos]))
            return std::nullopt;
        value = value * 10 + (text[pos] - '0');
    }
    return value;
}

bool literal(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

// "yyyy-MM-ddTHH:mm:ss" as a calendar-checked point in UTC.
std::optional<Millis> dateTime(std::string_view text, std::size_t& pos) {
    const auto year = digits(text, pos, 4);
    if (!year || !literal(text, pos, '-'))
        return std::nullopt;
    const auto month = digits(text, pos, 2);
    if (!month || !literal(text, pos, '-'))
        return std::nullopt;
    const auto day = digits(text, pos, 2);
    if (!day || !literal(text, pos, 'T'))
        return std::nullopt;
    const auto hour = digits(text, pos, 2);
    if (!hour || *hour > 23 || !literal(text, pos, ':'))
        return std::nullopt;
    const auto minute = digits(text, pos, 2);
    if (!minute || *minute > 59 || !literal(text, pos, ':'))
        return std::nullopt;
    const auto second = digits(text, pos, 2);
    if (!second || *second > 59)
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year), std::chrono::month(unsigned(*month)),
                                           std::chrono::day(unsigned(*day))};
    if (!date.ok())
        return std::nullopt;
    return std::chrono::sys_days(date) + std::chrono::hours(*hour) + std::chrono::minutes(*minute) +
           std::chrono::seconds(*second);
}

// ".d" to ".ddd" as milliseconds.
std::optional<std::chrono::milliseconds> fraction(std::string_view text, std::size_t& pos) {
    if (!literal(text, pos, '.'))
        return std::nullopt;
    int value = 0;
    std::size_t count = 0;
    for (; pos < text.size() && isDigit(text[pos]) && count < 3; ++pos, ++count)
        value = value * 10 + (text[pos] - '0');
    if (count == 0)
        return std::nullopt;
    for (std::size_t scale = count; scale < 3; ++scale)
        value *= 10;
    return std::chrono::milliseconds(value);
}

// "Z" or "+HH:MM"/"-HH:MM" as the offset to subtract to reach UTC.
std::optional<std::chrono::minutes> zone(std::string_view text, std::size_t& pos) {
    if (literal(text, pos, 'Z'))
        return std::chrono::minutes(0);
    const bool ahead = literal(text, pos, '+');
    if (!ahead && !literal(text, pos, '-'))
        return std::nullopt;
    const auto hours = digits(text, pos, 2);
    if (!hours || *hours > 23 || !literal(text, pos, ':'))
        return std::nullopt;
    const auto minutes = digits(text, pos, 2);
    if (!minutes || *minutes > 59)
        return std::nullopt;
    const std::chrono::minutes offset(*hours * 60 + *minutes);
    return ahead ? offset : -offset;
}

// An internet date-time, with a fraction exactly when `withFraction`, and a zone.
std::optional<system_clock::time_point> internetDateTime(std::string_view text, bool withFraction) {
    std::size_t pos = 0;
    auto point = dateTime(text, pos);
    if (!point)
        return std::nullopt;
    if (withFraction) {
        const auto millis = fraction(text, pos);
        if (!millis)
            return std::nullopt;
        *point += *millis;
    }
    const auto offset = zone(text, pos);
    if (!offset || pos != text.size())
        return std::nullopt;
    const Millis utc = *point - *offset;
    const auto earliest = std::chrono::ceil<std::chrono::milliseconds>(system_clock::time_point::min());
    const auto latest = std::chrono::floor<std::chrono::milliseconds>(system_clock::time_point::max());
    if (utc < earliest || utc > latest)
        return std::nullopt;
    return std::chrono::time_point_cast<system_clock::duration>(utc);
}

std::optional<system_clock::time_point> eitherForm(std::string_view text) {
    if (auto point = internetDateTime(text, true))
        return point;
    return internetDateTime(text, false);
}

} // namespace

std::string trimFractions(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t run = 0;
        if (text[pos] == '.')
            while (pos + 1 + run < text.size() && isDigit(text[pos + 1 + run]))
                ++run;
        const std::size_t kept = run > 3 ? 4 : 1;
        out.append(text.substr(pos, kept));
        pos += run > 3 ? 1 + run : 1;
    }
    return out;
}

std::optional<std::chrono::system_clock::time_point> parse(std::string_view text) {
    const std::string trimmed = trimFractions(text);
    if (auto point = eitherForm(trimmed))
        return point;
    return eitherForm(trimmed + "Z");
}

} // namespace ostrel::MoonbaseDate
