#pragma once

#include "../OstrelHubKit/Verify/Signature/SignedCodeFixture.h"
#include "BundleBuilder.h"
#include "BundleSigner.h"
#include "Install/InstallError.h"
#include "Install/StagedBundle.h"
#include "MachOBuilder.h"
#include "Verify/VerificationFailure.h"

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

namespace ostrel::test {

// Signed bundles of real Mach-O code, each in a staging folder of its own, for
// the tests of what installs them.
class SignedBundleFixture : public SignedCodeFixture {
protected:
    std::filesystem::path staging = dir_ / "staging";

    // Linking real executables is slow, so each is built once and copied: one
    // with room for a signature, one that the linker left without any.
    static std::string linked(bool signable) {
        TempDir folder("installer-executable");
        fixtures::buildThinMachO({"arm64", "bundle", 12000, 0, signable}, folder / "exe");
        std::ifstream in(folder / "exe", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static const std::string& executable(bool signable) {
        static const std::string withRoom = linked(true);
        static const std::string without = linked(false);
        return signable ? withRoom : without;
    }

    struct Made {
        StagedBundle staged;
        fixtures::SignedCode code;
    };

    // A bundle signed by `identity` (unsigned without one) in its own staging folder.
    Made bundle(const std::string& name, const std::string& identifier, const std::string& version,
                std::optional<fixtures::Identity> identity, const std::string& folder = "") {
        const std::filesystem::path parent = staging / (folder.empty() ? identifier + "-" + version : folder);
        std::filesystem::create_directories(parent);
        const std::filesystem::path path = fixtures::BundleBuilder(parent, name)
                                               .identifier(identifier)
                                               .version(version, version)
                                               .executable("Main", executable(identity.has_value()))
                                               .file("Resources/data", identifier + version)
                                               .build();
        fixtures::SignOptions options;
        options.identifier = identifier;
        options.identity = identity;
        fixtures::SignedCode code;
        if (identity)
            code = fixtures::BundleSigner(options).sign(path);
        return {{path, *bundleKindOf(path)}, code};
    }

    Made echo(const std::string& version = "1.2", const std::string& folder = "") {
        return bundle("Echo.vst3", "com.ostrel.echo", version, pki().application, folder);
    }

    // The sentence of an install refusal or a signature refusal, or "(nothing thrown)".
    static std::string refusal(const std::function<void()>& action) {
        try {
            action();
        } catch (const InstallError& e) {
            return e.what();
        } catch (const VerificationFailure& e) {
            return e.what();
        }
        return "(nothing thrown)";
    }
};

} // namespace ostrel::test
