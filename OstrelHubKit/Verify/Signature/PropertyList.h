#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <plist/plist.h>

namespace ostrel {

// One parsed property list (XML or binary) from untrusted bytes, owning its
// libplist tree. Lookups never assume a node's type: a wrong type reads as absent.
class PropertyList {
public:
    // Property lists of a bundle are small; a bigger one is refused before parsing.
    static constexpr uint64_t maxFileBytes = 16 * 1024 * 1024;

    // Throws SignatureDefect "<shownAs> is not a readable property list".
    static PropertyList parse(std::span<const uint8_t> bytes, std::string_view shownAs);

    plist_t root() const { return node_.get(); }
    bool isDictionary() const { return isDictionary(root()); }

    static bool isDictionary(plist_t node);
    static plist_t member(plist_t dict, const char* key);
    static std::optional<std::string> text(plist_t node);
    static std::optional<std::vector<uint8_t>> data(plist_t node);
    static std::optional<bool> boolean(plist_t node);
    static std::optional<int64_t> integer(plist_t node);
    // A whole number written as an integer or a real (codesign writes rule
    // weights as reals); absent for fractions and values outside int64.
    static std::optional<int64_t> wholeNumber(plist_t node);
    // Calls `visit` for every key and value of a dictionary, in stored order.
    static void forEach(plist_t dict, const std::function<void(const std::string&, plist_t)>& visit);

private:
    struct Free {
        void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
    };
    explicit PropertyList(plist_t node) : node_(node) {}
    std::unique_ptr<void, Free> node_;
};

} // namespace ostrel
