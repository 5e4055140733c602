#pragma once

#include "ApplePki.h"
#include "DemoLog.h"
#include "ReleaseShelf.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace ostrel::demo {

// Release files signed for the demo team, as the real releases are: plug-ins as a package
// signed by the Developer ID Installer identity (or a zip of signed bundles), apps as a signed
// disk image holding a signed, notarised app. The signing PKI is kept in the state folder so
// that a hub told to trust its root keeps accepting the files across restarts, and each file is
// kept beside a stamp of what it was made from, so an unchanged product is not made again.
class SignedReleases {
public:
    static constexpr const char* rootFileName = "code-signing-root.pem";

    // Reads the PKI from `stateFolder`/"code-signing", or makes it there when it is missing or
    // about to expire, and writes its root as `stateFolder`/code-signing-root.pem.
    SignedReleases(const std::filesystem::path& stateFolder, DemoLog log);

    // The certificate a verifier must trust for these releases.
    const std::filesystem::path& rootFile() const { return rootFile_; }
    const fixtures::ApplePki& pki() const { return pki_; }

    // The release of `product` for `platform` in `folder`; safe to call from several threads.
    // Platforms other than the Mac get the plain archive: the hub checks Mac code only.
    std::filesystem::path make(const CatalogueProduct& product, Platform platform,
                               const std::filesystem::path& folder) const;
    // make() as a ReleaseMaker; this object must outlive it.
    ReleaseMaker maker() const;

private:
    std::string codeBytes(const std::filesystem::path& folder) const;
    std::filesystem::path stagedBundles(const CatalogueProduct& product, const std::filesystem::path& staging,
                                        const std::string& code) const;
    void package(const CatalogueProduct& product, const std::filesystem::path& staging,
                 const std::filesystem::path& scratch, const std::filesystem::path& output) const;

    fixtures::ApplePki pki_;
    std::filesystem::path rootFile_;
    std::string signerStamp_; // what changes every release when the PKI is made again
    mutable std::once_flag codeOnce_;
    mutable std::string code_;
};

} // namespace ostrel::demo
