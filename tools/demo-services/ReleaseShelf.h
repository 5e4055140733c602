#pragma once

#include "DemoCatalogue.h"
#include "Services/Download.h"

#include <cstdint>
#include <filesystem>
#include <functional>
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
    std::string etag; // strong validator for If-Range
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

// Every release file of the catalogue, made once at start-up.
class ReleaseShelf {
public:
    // One file per product and platform. Throws the first error of a file that cannot be made.
    static ReleaseShelf build(const DemoCatalogue& catalogue, const std::filesystem::path& folder,
                              const ReleaseMaker& make);

    const ReleaseFile* find(std::string_view key) const;
    std::vector<const ReleaseFile*> filesOf(std::string_view productId) const;

private:
    std::vector<ReleaseFile> files_;
};

} // namespace ostrel::demo
