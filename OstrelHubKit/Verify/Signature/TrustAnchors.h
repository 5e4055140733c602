#pragma once

#include "Util/OpenSslPtr.h"
#include "Verify/Signature/Certificate.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <vector>

namespace ostrel::signature {

// The only roots a signature may chain to. Never the system's store: a
// certificate authority trusted for web sites says nothing about code.
class TrustAnchors {
public:
    explicit TrustAnchors(std::vector<Certificate> roots) : roots_(std::move(roots)) {}

    // Apple Root CA, Apple Root CA - G2 and Apple Root CA - G3, built into the Kit.
    static TrustAnchors apple();
    // Every certificate of a PEM file (a maker's own root, the demo services'), or none when
    // the file cannot be read, is larger than maxPemFileBytes or holds no certificate.
    static std::optional<TrustAnchors> fromPemFile(const std::filesystem::path& file);
    // Hundreds of certificates; a few roots take a few kilobytes.
    static constexpr std::size_t maxPemFileBytes = 1024 * 1024;

    const std::vector<Certificate>& certificates() const { return roots_; }
    bool contains(const Certificate& certificate) const;
    // A fresh store holding exactly these roots.
    X509StorePtr makeStore() const;

private:
    std::vector<Certificate> roots_;
};

} // namespace ostrel::signature
