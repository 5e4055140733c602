#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// A release version, parsed from any text without ever failing, with a total
// order: dotted numbers compared by value (1.2 == 1.2.0, 1.10 > 1.9), then a
// pre-release below its release, pre-releases compared with digit runs by
// value (beta.2 < beta.10). `raw` keeps the text as given and takes no part
// in comparisons.
class Version {
public:
    explicit Version(std::string text);

    const std::string& raw() const { return raw_; }
    const std::vector<int64_t>& numbers() const { return numbers_; }
    const std::optional<std::string>& prerelease() const { return prerelease_; }

    friend bool operator<(const Version& a, const Version& b);
    friend bool operator==(const Version& a, const Version& b) { return !(a < b) && !(b < a); }
    friend bool operator<=(const Version& a, const Version& b) { return !(b < a); }
    friend bool operator>(const Version& a, const Version& b) { return b < a; }
    friend bool operator>=(const Version& a, const Version& b) { return !(a < b); }

private:
    std::string raw_;
    std::vector<int64_t> numbers_;
    std::optional<std::string> prerelease_;
};

// Compares two texts with runs of ASCII digits taken by value and everything
// else by code unit: negative, zero or positive like strcmp.
int compareNumericAware(const std::string& a, const std::string& b);

} // namespace ostrel
