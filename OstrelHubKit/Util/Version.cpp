#include "Util/Version.h"

#include "Util/Unicode.h"

#include <charconv>
#include <string_view>

namespace ostrel {
namespace {

// Trims blanks and tabs (not line breaks) from both ends.
std::string_view trimBlanks(std::string_view s) {
    size_t begin = 0;
    while (begin < s.size()) {
        const auto scalar = Unicode::decodeScalar(s, begin);
        if (!Unicode::isBlank(scalar.value))
            break;
        begin += scalar.length;
    }
    s.remove_prefix(begin);
    // Walk forward remembering where the last non-blank scalar ended.
    size_t end = 0;
    for (size_t offset = 0; offset < s.size();) {
        const auto scalar = Unicode::decodeScalar(s, offset);
        offset += scalar.length;
        if (!Unicode::isBlank(scalar.value))
            end = offset;
    }
    return s.substr(0, end);
}

std::string_view trimV(std::string_view s) {
    const auto begin = s.find_first_not_of("vV");
    if (begin == std::string_view::npos)
        return {};
    return s.substr(begin, s.find_last_not_of("vV") - begin + 1);
}

// Non-empty pieces of `s` split at `separator`, at most `maxPieces` of them;
// the last piece keeps any further separators. Empty pieces are dropped and do
// not count towards the limit, so "--beta" split in two gives just "beta".
std::vector<std::string_view> splitNonEmpty(std::string_view s, char separator, size_t maxPieces) {
    std::vector<std::string_view> pieces;
    while (!s.empty()) {
        if (pieces.size() + 1 == maxPieces) {
            pieces.push_back(s);
            break;
        }
        const auto at = s.find(separator);
        const auto piece = s.substr(0, at);
        if (!piece.empty())
            pieces.push_back(piece);
        if (at == std::string_view::npos)
            break;
        s.remove_prefix(at + 1);
    }
    return pieces;
}

// The leading run of numeric characters read as a signed 64-bit number; 0 when
// the run is empty, too long, or holds digits other than the ASCII ones.
int64_t leadingNumber(std::string_view component) {
    size_t end = 0;
    while (end < component.size()) {
        const auto scalar = Unicode::decodeScalar(component, end);
        if (!Unicode::isNumeric(scalar.value))
            break;
        end += scalar.length;
    }
    const auto run = component.substr(0, end);
    int64_t value = 0;
    const auto [ptr, error] = std::from_chars(run.data(), run.data() + run.size(), value);
    if (error != std::errc() || ptr != run.data() + run.size())
        return 0;
    return value;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Compares two runs of ASCII digits by value, whatever their length.
int compareDigitRuns(std::string_view a, std::string_view b) {
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
}

size_t digitRunEnd(std::string_view s, size_t from) {
    while (from < s.size() && isDigit(s[from]))
        ++from;
    return from;
}

} // namespace

Version::Version(std::string text) : raw_(std::move(text)) {
    const auto cleaned = trimV(trimBlanks(raw_));
    const auto parts = splitNonEmpty(cleaned, '-', 2);
    const std::string_view core = parts.empty() ? std::string_view{} : parts[0];
    if (parts.size() == 2)
        prerelease_ = std::string(parts[1]);
    for (const auto component : splitNonEmpty(core, '.', SIZE_MAX))
        numbers_.push_back(leadingNumber(component));
}

bool operator<(const Version& a, const Version& b) {
    const size_t length = std::max(a.numbers_.size(), b.numbers_.size());
    for (size_t i = 0; i < length; ++i) {
        const int64_t x = i < a.numbers_.size() ? a.numbers_[i] : 0;
        const int64_t y = i < b.numbers_.size() ? b.numbers_[i] : 0;
        if (x != y)
            return x < y;
    }
    if (!a.prerelease_)
        return false;
    if (!b.prerelease_)
        return true;
    return compareNumericAware(*a.prerelease_, *b.prerelease_) < 0;
}

int compareNumericAware(const std::string& a, const std::string& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const size_t iEnd = digitRunEnd(a, i);
            const size_t jEnd = digitRunEnd(b, j);
            if (const int order =
                    compareDigitRuns(std::string_view(a).substr(i, iEnd - i), std::string_view(b).substr(j, jEnd - j));
                order != 0)
                return order;
            i = iEnd;
            j = jEnd;
            continue;
        }
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[j]);
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    const bool aLeft = i < a.size();
    const bool bLeft = j < b.size();
    return aLeft == bLeft ? 0 : aLeft ? 1 : -1;
}

} // namespace ostrel
