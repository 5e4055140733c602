#pragma once

#include "Services/JsonReader.h"
#include "Util/Url.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// One entry of the maker's extras feed: a free tool, a game or an early-access build.
struct ExtrasItem {
    // Where an item is shown.
    enum class Shelf { freeTools, earlyAccess };

    // How an item can be installed.
    struct InstallRoute {
        enum class Kind { hub, browser, unavailable };
        Kind kind = Kind::unavailable;
        std::string productId{};  // hub: the store product the hub's own pipeline installs
        std::optional<Url> url{}; // browser: the page that offers the download

        static InstallRoute hub(std::string productId);
        static InstallRoute browser(Url url);
        static InstallRoute unavailable() { return {}; }

        bool operator==(const InstallRoute&) const = default;
    };

    // Whether the store offers a Mac download for a product identifier.
    using StoreHasMacDownload = std::function<bool(const std::string& productId)>;

    std::string id{};
    std::string name{};
    std::string kind{}; // free text such as "tool" or "game"
    std::optional<std::string> stage{};
    std::optional<std::string> summary{};
    std::optional<std::string> releaseUrl{};
    std::optional<std::string> iconUrl{};
    bool signedByOstrel = false; // the download can go through the hub's installer
    std::optional<std::string> productId{};

    Shelf shelf() const;
    // `releaseUrl` when it is a plain https address; none otherwise.
    std::optional<Url> releaseURL() const;
    InstallRoute installRoute(const StoreHasMacDownload& storeHasMacDownload) const;

    bool operator==(const ExtrasItem&) const = default;
};

// "freeTools" or "earlyAccess".
std::string_view rawValue(ExtrasItem::Shelf shelf);

// Never fails on a member: one of the wrong type counts as absent. Only a value that is not an
// object is refused (DecodingError).
void readJson(const JsonReader& in, ExtrasItem& out);
void to_json(nlohmann::json& json, const ExtrasItem& item);

} // namespace ostrel
