#pragma once

#include "Util/Error.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The hub's own update feed. A feed is one text file:
//
//   ostrel-hub-appcast ed25519 <base64 signature>\n
//   {"product": "com.ostrel.hub", "items": [{"version": "0.2.0", "url": "https://...",
//     "length": 123, "ed25519": "<base64 signature of the download>", "notes": "..."}]}
//
// The first line signs every byte after its newline, so the body is checked exactly as it
// arrived and needs no canonical form; each item signs its own download. Here the feed is only
// taken apart and read: the signatures are checked by whoever holds the key.
struct HubAppcast {
    static constexpr std::string_view product = "com.ostrel.hub";
    static constexpr std::string_view signaturePrefix = "ostrel-hub-appcast ed25519 ";

    // Bounds on what is read: the whole file, the items, the nesting (the outermost object is
    // one level, the item list two, an item three), and the size of one download.
    static constexpr std::size_t maxBytes = 262'144;
    static constexpr std::size_t maxItems = 64;
    static constexpr std::size_t maxDepth = 3;
    static constexpr int64_t maxDownloadBytes = 1'073'741'824;
    static constexpr std::size_t maxTextBytes = 16'384; // any one string of an item

    struct Item {
        std::string version;
        std::string url;
        int64_t length = 0;    // exact size of the download
        std::string signature; // 64 raw bytes over the download
        std::string notes;
        bool operator==(const Item&) const = default;
    };

    // The file split at its first line: the signature's raw bytes and the signed body.
    struct Envelope {
        std::string signature;
        std::string_view body; // points into the text given to split()
    };

    std::vector<Item> items;

    // Throws HubAppcastError when the text is larger than maxBytes or its first line is not a
    // signature line.
    static Envelope split(std::string_view text);
    static Envelope split(const std::string&&) = delete;
    // Reads a body whose signature has been checked. Throws HubAppcastError for anything that is
    // not a feed of this product within the bounds.
    static HubAppcast parse(std::string_view body);

    // The whole file for a body and its signature (how the publisher writes one).
    static std::string compose(std::string_view body, std::string_view signature);

    bool operator==(const HubAppcast&) const = default;
};

// A feed that cannot be used; what() is the sentence for a person, detail() is for the log.
class HubAppcastError : public Error {
public:
    explicit HubAppcastError(std::string detail);
    const std::string& detail() const { return detail_; }

private:
    std::string detail_;
};

} // namespace ostrel
