#include "Util/ByteCount.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace ostrel {
namespace {

struct Unit {
    const char* name;
    int fractionDigits;
};

constexpr std::array<Unit, 6> units{{{"KB", 0}, {"MB", 1}, {"GB", 2}, {"TB", 2}, {"PB", 2}, {"EB", 2}}};

// Formats with at most `digits` fraction digits, dropping trailing zeros.
std::string trimmedDecimal(long double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*Lf", digits, value);
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    return s;
}

long double roundTo(long double value, int digits) {
    const long double scale = std::pow(10.0L, digits);
    return std::round(value * scale) / scale;
}

} // namespace

std::string formatFileByteCount(int64_t bytes) {
    if (bytes == 0)
        return "Zero KB";
    const std::string sign = bytes < 0 ? "-" : "";
    const long double magnitude = std::fabs(static_cast<long double>(bytes));
    if (magnitude < 1000)
        return sign + std::to_string(std::llabs(bytes)) + (magnitude == 1 ? " byte" : " bytes");

    size_t index = 0;
    long double value = magnitude / 1000;
    while (index + 1 < units.size() && value >= 1000) {
        value /= 1000;
        ++index;
    }
    // Rounding can carry into the next unit: 999,999 bytes reads "1 MB", not "1000 KB".
    long double rounded = roundTo(value, units[index].fractionDigits);
    if (rounded >= 1000 && index + 1 < units.size()) {
        ++index;
        rounded = roundTo(value / 1000, units[index].fractionDigits);
    }
    return sign + trimmedDecimal(rounded, units[index].fractionDigits) + " " + units[index].name;
}

} // namespace ostrel
