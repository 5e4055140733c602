#pragma once

#include "DemoLog.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace ostrel::demo {

// The hub's own update, published as the maker would: an installed hub folder packed again with
// a version one step above its own, and a feed listing it, both signed with the demo key whose
// public half the hub is built with by default. Without a hub folder the feed lists nothing.
class HubUpdateShelf {
public:
    static constexpr const char* feedPath = "/hub/appcast";
    static constexpr const char* archivePrefix = "/hub/ostrel-hub-";

    // Packs `hubFolder` (when given) into `folder`. Throws std::exception with a sentence when
    // the folder holds no hub build.
    HubUpdateShelf(const std::optional<std::filesystem::path>& hubFolder, const std::filesystem::path& folder,
                   const std::string& downloadBase, const DemoLog& log);

    // The signed feed file.
    const std::string& feed() const { return feed_; }
    // The version offered, when there is one.
    const std::optional<std::string>& version() const { return version_; }
    // The packed build, when there is one.
    const std::optional<std::filesystem::path>& archive() const { return archive_; }

    // A version one step above: the last dotted number plus one ("0.1.0" → "0.1.1"), or ".1"
    // appended when the text does not end in a number.
    static std::string nextVersion(const std::string& version);

private:
    std::string feed_;
    std::optional<std::string> version_;
    std::optional<std::filesystem::path> archive_;
};

} // namespace ostrel::demo
