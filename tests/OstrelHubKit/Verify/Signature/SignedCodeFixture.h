#pragma once

#include "ApplePki.h"
#include "CodeSigner.h"
#include "MachOBuilder.h"
#include "TempDir.h"
#include "TimeStampAuthority.h"
#include "Verify/Signature/TrustSettings.h"
#include "Verify/SignaturePolicy.h"

#include <gtest/gtest.h>

namespace ostrel::test {

// Builds real Mach-O files with clang/lld and signs them with a fresh
// Apple-shaped PKI whose root is the only trust anchor.
class SignedCodeFixture : public ::testing::Test {
protected:
    static const fixtures::ApplePki& pki() {
        static const fixtures::ApplePki instance;
        return instance;
    }
    static signature::TrustSettings trust() { return signature::TrustSettings{pki().anchors()}; }
    static SignaturePolicy policy() { return SignaturePolicy::ostrel(); }

    fixtures::SignOptions developerId(const fixtures::Identity& identity) const {
        fixtures::SignOptions options;
        options.identity = identity;
        return options;
    }

    // A thin file of `arch` (unsigned when `options` is empty).
    std::filesystem::path thin(const std::string& name, const std::string& arch,
                               const std::optional<fixtures::SignOptions>& options) {
        std::filesystem::path file = dir_ / name;
        fixtures::buildThinMachO({arch, "bundle", 12000, 0, options.has_value()}, file);
        if (options)
            fixtures::signMachO(file, *options);
        return file;
    }

    // arm64 + x86_64, each slice signed with its own options (or unsigned).
    std::filesystem::path fat(const std::string& name, const std::optional<fixtures::SignOptions>& arm,
                              const std::optional<fixtures::SignOptions>& intel) {
        std::filesystem::path a = thin(name + ".arm64", "arm64", arm);
        std::filesystem::path x = thin(name + ".x86_64", "x86_64", intel);
        std::filesystem::path file = dir_ / name;
        fixtures::buildFatMachO({a, x}, file);
        return file;
    }

    TempDir dir_{"signed-code"};
};

} // namespace ostrel::test
