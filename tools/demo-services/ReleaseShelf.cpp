#include "ReleaseShelf.h"

#include "DemoText.h"
#include "Util/AtomicFile.h"
#include "Util/Subprocess.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <future>
#include <iomanip>
#include <sstream>

#include <openssl/evp.h>
#include <sys/stat.h>

namespace ostrel::demo {

namespace {

namespace fs = std::filesystem;

constexpr double bsdtarTimeLimit = 60;

std::string infoPlist(const CatalogueProduct& product, const std::string& bundleName) {
    const auto dot = bundleName.rfind('.');
    const bool app = bundleName.substr(dot) == ".app";
    std::ostringstream xml;
    xml << R"(<?xml version="1.0" encoding="UTF-8"?>)"
        << "\n"
        << R"(<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">)"
        << "\n<plist version=\"1.0\">\n<dict>\n"
        << "\t<key>CFBundleIdentifier</key>\n\t<string>com.ostrel." << product.id << bundleName.substr(dot)
        << "</string>\n"
        << "\t<key>CFBundleName</key>\n\t<string>" << product.name << "</string>\n"
        << "\t<key>CFBundleExecutable</key>\n\t<string>" << product.name << "</string>\n"
        << "\t<key>CFBundlePackageType</key>\n\t<string>" << (app ? "APPL" : "BNDL") << "</string>\n"
        << "\t<key>CFBundleShortVersionString</key>\n\t<string>" << product.version << "</string>\n"
        << "\t<key>CFBundleVersion</key>\n\t<string>" << product.version << "</string>\n"
        << "</dict>\n</plist>\n";
    return xml.str();
}

// The file's modification time as an HTTP date: "Tue, 03 Mar 2026 10:15:00 GMT".
std::string httpDate(const fs::path& file) {
    struct stat status {};
    std::tm utc{};
    char text[40] = "";
    if (::stat(file.c_str(), &status) == 0 && gmtime_r(&status.st_mtime, &utc))
        std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

std::string fileDigest(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string content = bytes.str();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_Digest(content.data(), content.size(), digest, &length, EVP_sha256(), nullptr);
    std::ostringstream hex;
    for (unsigned i = 0; i < 8; ++i)
        hex << std::hex << std::setw(2) << std::setfill('0') << static_cast<int>(digest[i]);
    return hex.str();
}

ReleaseFile fileOf(const CatalogueProduct& product, Platform platform, const fs::path& file) {
    const std::string platformName(rawValue(platform));
    return ReleaseFile{
        .productId = product.id,
        .platform = platform,
        .key = product.id + "-" + lowercased(platformName),
        .fileName = product.name + " " + product.version +
                    (platform == Platform::mac ? "" : " (" + platformName + ")") + file.extension().string(),
        .file = file,
        .size = static_cast<int64_t>(fs::file_size(file)),
        .etag = "\"" + fileDigest(file) + "\"",
        .lastModified = httpDate(file),
    };
}

} // namespace

fs::path makeZipRelease(const CatalogueProduct& product, Platform platform, const fs::path& folder) {
    const std::string stem = product.id + "-" + lowercased(rawValue(platform));
    const fs::path staging = folder / "staging" / stem;
    fs::remove_all(staging);
    // Written beside its place and renamed into it, so a file being served is never rewritten.
    const fs::path archive = folder / (stem + ".zip");
    const fs::path partial = folder / (stem + ".zip.partial");
    for (const auto& bundle : product.bundleNames()) {
        const fs::path contents = staging / bundle / "Contents";
        fs::create_directories(contents / "MacOS");
        AtomicFile::write(contents / "Info.plist", infoPlist(product, bundle), fs::perms(0644));
        AtomicFile::write(contents / "MacOS" / product.name,
                          "#!/bin/sh\n# Placeholder for " + product.name + " " + product.version + " build " +
                              std::to_string(product.build) + "\n",
                          fs::perms(0755));
    }
    zipFolderEntries(staging, product.bundleNames(), partial);
    fs::rename(partial, archive);
    fs::remove_all(staging);
    return archive;
}

void zipFolderEntries(const fs::path& folder, const std::vector<std::string>& names, const fs::path& archive) {
    std::vector<std::string> arguments{"-c", "-f", archive.string(), "--format", "zip", "-C", folder.string()};
    arguments.insert(arguments.end(), names.begin(), names.end());
    fs::remove(archive);
    Subprocess::check("/usr/bin/bsdtar", arguments, bsdtarTimeLimit);
}

ReleaseShelf::ReleaseShelf(const DemoCatalogue& catalogue, fs::path folder, ReleaseMaker make)
    : folder_(std::move(folder)), make_(std::move(make)) {
    fs::create_directories(folder_);
    struct Pending {
        const CatalogueProduct* product;
        Platform platform;
        std::future<fs::path> file;
    };
    // Each file is made by its own tool run; running them side by side keeps start-up short.
    std::vector<Pending> pending;
    for (const auto& product : catalogue.products)
        for (const auto& platformName : product.platforms) {
            const Platform platform = platformFromRaw(platformName);
            pending.push_back(
                {&product, platform,
                 std::async(std::launch::async, make_, std::cref(product), platform, std::cref(folder_))});
        }
    for (auto& [product, platform, future] : pending)
        entries_.push_back(Entry{.file = fileOf(*product, platform, future.get()), .product = product, .build = 0});
}

std::optional<ReleaseFile> ReleaseShelf::find(std::string_view key) const {
    const std::lock_guard guard(lock_);
    for (const auto& entry : entries_)
        if (entry.file.key == key)
            return entry.file;
    return std::nullopt;
}

std::vector<ReleaseFile> ReleaseShelf::filesOf(std::string_view productId) const {
    const std::lock_guard guard(lock_);
    std::vector<ReleaseFile> found;
    for (const auto& entry : entries_)
        if (entry.file.productId == productId)
            found.push_back(entry.file);
    return found;
}

std::optional<ReleaseFile> ReleaseShelf::remake(std::string_view key) {
    const std::lock_guard remakeGuard(remaking_);
    const auto found =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) { return entry.file.key == key; });
    if (found == entries_.end())
        return std::nullopt;
    CatalogueProduct next = *found->product;
    next.build = found->build + 1;
    const ReleaseFile file = fileOf(next, found->file.platform, make_(next, found->file.platform, folder_));
    const std::lock_guard guard(lock_);
    found->file = file;
    found->build = next.build;
    return file;
}

} // namespace ostrel::demo
