#include "ReleaseShelf.h"

#include "DemoText.h"
#include "Util/AtomicFile.h"
#include "Util/Subprocess.h"

#include <fstream>
#include <future>
#include <iomanip>
#include <sstream>

#include <openssl/evp.h>

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
                          "#!/bin/sh\n# Placeholder for " + product.name + " " + product.version + "\n",
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

ReleaseShelf ReleaseShelf::build(const DemoCatalogue& catalogue, const fs::path& folder, const ReleaseMaker& make) {
    fs::create_directories(folder);
    struct Pending {
        const CatalogueProduct* product;
        std::string platformName;
        std::future<fs::path> file;
    };
    // Each file is made by its own tool run; running them side by side keeps start-up short.
    std::vector<Pending> pending;
    for (const auto& product : catalogue.products)
        for (const auto& platformName : product.platforms)
            pending.push_back({&product, platformName,
                               std::async(std::launch::async, make, std::cref(product), platformFromRaw(platformName),
                                          std::cref(folder))});
    ReleaseShelf shelf;
    for (auto& [product, platformName, future] : pending) {
        const fs::path file = future.get();
        const Platform platform = platformFromRaw(platformName);
        shelf.files_.push_back(ReleaseFile{
            .productId = product->id,
            .platform = platform,
            .key = product->id + "-" + lowercased(platformName),
            .fileName = product->name + " " + product->version +
                        (platform == Platform::mac ? "" : " (" + platformName + ")") + file.extension().string(),
            .file = file,
            .size = static_cast<int64_t>(fs::file_size(file)),
            .etag = "\"" + fileDigest(file) + "\"",
        });
    }
    return shelf;
}

const ReleaseFile* ReleaseShelf::find(std::string_view key) const {
    for (const auto& file : files_)
        if (file.key == key)
            return &file;
    return nullptr;
}

std::vector<const ReleaseFile*> ReleaseShelf::filesOf(std::string_view productId) const {
    std::vector<const ReleaseFile*> found;
    for (const auto& file : files_)
        if (file.productId == productId)
            found.push_back(&file);
    return found;
}

} // namespace ostrel::demo
