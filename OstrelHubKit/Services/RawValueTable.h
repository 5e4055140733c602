#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

namespace ostrel {

// The spellings of an enumeration the services send as strings. Matching is
// exact and case-sensitive; a spelling not in the table maps to `fallback`, so
// a value the service adds later never breaks a whole answer.
template <class Enum, std::size_t Count>
struct RawValueTable {
    std::array<std::pair<Enum, std::string_view>, Count> entries;
    Enum fallback;

    constexpr std::string_view name(Enum value) const {
        for (const auto& [candidate, text] : entries)
            if (candidate == value)
                return text;
        return name(fallback);
    }

    constexpr Enum parse(std::string_view text) const {
        for (const auto& [candidate, spelling] : entries)
            if (spelling == text)
                return candidate;
        return fallback;
    }
};

} // namespace ostrel
