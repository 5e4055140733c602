#pragma once

#include "DemoCatalogue.h"
#include "Services/Download.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::demo {

// One file the download host serves: the current release of a product for one platform.
struct ReleaseFile {
    std::string productId;
    Platform platform = Platform::unknown;
    std::string key;      // the store's key for the file: "<product>-<platform>"
    std::string fileName; // the name the store shows: "Aurora Verb 2.4.1.zip"
    std::filesystem::path file;
    int64_t size = 0;
    std::string etag;         // strong validator for If-Range
    std::string lastModified; // the file's time as an HTTP date
};

// Makes the release file of `product` for `platform` inside `folder` and returns where it is.
// Kept to this one signature so that signed releases can replace the plain archives. Called for
// several products at once from different threads.
using ReleaseMaker =
    std::function<std::filesystem::path(const CatalogueProduct&, Platform, const std::filesystem::path& folder)>;

// The plain stand-in: a zip archive (made by bsdtar) of the product's bundles, each with an
// Info.plist and a placeholder executable. Nothing in it is signed.
std::filesystem::path makeZipRelease(const CatalogueProduct& product, Platform platform,
                                     const std::filesystem::path& folder);

// Writes a zip archive (with bsdtar) at `archive` of the named entries of `folder`.
void zipFolderEntries(const std::filesystem::path& folder, const std::vector<std::string>& names,
                      const std::filesystem::path& archive);

// Every release file of the catalogue, made at start-up and remade on request (a new build of
// the same version, with other bytes). Safe to use from several threads.
class ReleaseShelf {
public:
    // One file per product and platform. Throws the first error of a file that cannot be made.
    ReleaseShelf(const DemoCatalogue& catalogue, std::filesystem::path folder, ReleaseMaker make);
    ReleaseShelf(const ReleaseShelf&) = delete;
    ReleaseShelf& operator=(const ReleaseShelf&) = delete;

    std::optional<ReleaseFile> find(std::string_view key) const;
    std::vector<ReleaseFile> filesOf(std::string_view productId) const;
    // Makes the file of `key` again as the product's next build and returns it; none for an
    // unknown key. The file is replaced by a rename, so answers under way keep the old bytes.
    std::optional<ReleaseFile> remake(std::string_view key);

private:
    struct Entry {
        ReleaseFile file;
        const CatalogueProduct* product;
        int build = 0;
    };

    const std::filesystem::path folder_;
    const ReleaseMaker make_;
    mutable std::mutex lock_;
    std::mutex remaking_;        // one remake at a time
    std::vector<Entry> entries_; // guarded by lock_ (the list itself is fixed after construction)
};

} // namespace ostrel::demo
