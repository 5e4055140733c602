#include "BundleBuilder.h"
#include "BundleSigner.h"
#include "BundleTampering.h"
#include "DiskImageSigner.h"
#include "FixtureFiles.h"
#include "NotaryTicketWriter.h"
#include "Signature/SignedCodeFixture.h"
#include "Tampering.h"
#include "UdifImage.h"
#include "Verify/CodeVerifier.h"
#include "Verify/VerificationFailure.h"

#include <functional>
#include <memory>
#include <stdexcept>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;
using fixtures::BundleBuilder;
using fixtures::BundleSigner;
using signature::HashType;

class CodeVerifierTest : public SignedCodeFixture {
protected:
    CodeVerifier verifier() const { return CodeVerifier(policy(), trust()); }

    // Real executables are slow to link; each shape is built once and copied.
    const std::string& executable(const std::string& shape) {
        static std::map<std::string, std::string> built;
        static TempDir folder("executables");
        if (!built.contains(shape)) {
            fs::path file = folder.path() / shape;
            if (shape == "fat") {
                fixtures::buildThinMachO({"arm64"}, folder.path() / "a");
                fixtures::buildThinMachO({"x86_64"}, folder.path() / "x");
                fixtures::buildFatMachO({folder.path() / "a", folder.path() / "x"}, file);
            } else {
                fixtures::buildThinMachO({"arm64", "bundle", 12000, 0, shape != "unsigned"}, file);
            }
            signature::Bytes bytes = fixtures::readBytes(file);
            built[shape] = std::string(bytes.begin(), bytes.end());
        }
        return built[shape];
    }

    // A deep bundle with resources, a localisation (optional) and a link.
    BundleBuilder builder(const std::string& name, const std::string& shape = "thin") {
        BundleBuilder b(dir_.path(), name);
        b.identifier("com.ostrel.echo")
            .version("1.4.2", "1.4")
            .executable("Echo", executable(shape))
            .file("Resources/x.png", "png bytes")
            .file("Resources/en.lproj/Localizable.strings", "\"Hi\" = \"Hi\";")
            .symlink("Resources/current.png", "x.png");
        return b;
    }

    fs::path signedBundle(const std::string& name, const fixtures::SignOptions& options) {
        fs::path bundle = builder(name).build();
        BundleSigner(options).sign(bundle);
        return bundle;
    }

    std::string refusal(const std::function<void()>& check) const {
        try {
            check();
            return "";
        } catch (const VerificationFailure& failure) {
            return failure.what();
        }
    }
    std::string refusal(const fs::path& code) const {
        return refusal([&] { verifier().verify(code); });
    }
    static std::string invalid(const std::string& name, const std::string& detail) {
        return VerificationFailure::invalidSignature(name, detail).what();
    }

    fixtures::SignOptions ostrel() const { return developerId(pki().application); }
};

TEST_F(CodeVerifierTest, AcceptsSignedBundlesOfEveryKindAndShape) {
    struct Case {
        std::string name;
        std::string shape = "thin";
        bool binaryPlist = false;
        std::vector<HashType> hashes{HashType::sha256};
    };
    std::vector<Case> cases = {{"Echo.app"},
                               {"Echo.vst3"},
                               {"Echo.component"},
                               {"Echo.clap"},
                               {"Echo.vst"},
                               {"Fat.app", "fat"},
                               {"Binary.vst3", "thin", true},
                               {"Both.clap", "thin", false, {HashType::sha1, HashType::sha256}}};
    for (const Case& c : cases) {
        fs::path bundle = builder(c.name, c.shape).binaryInfoPlist(c.binaryPlist).build();
        auto options = ostrel();
        options.hashTypes = c.hashes;
        fixtures::SignedCode made = BundleSigner(options).sign(bundle);
        std::vector<std::string> architectures =
            c.shape == "fat" ? std::vector<std::string>{"x86_64", "arm64"} : std::vector<std::string>{"arm64"};
        ASSERT_EQ(made.cdhashes.size(), architectures.size());
        std::vector<VerifiedCode::Cdhash> cdhashes;
        for (size_t i = 0; i < architectures.size(); ++i)
            cdhashes.push_back({architectures[i], made.cdhashes[i]});
        EXPECT_EQ(verifier().verify(bundle),
                  (VerifiedCode{bundle.string(), "com.ostrel.echo", "K7QZ2M4XNB", "1.4.2", false, cdhashes}))
            << c.name;
    }
    // An expired leaf is fine when a trusted time stamp shows it was valid at signing.
    fixtures::TimeStampAuthority tsa(pki().timeStampAuthority);
    auto stamped = developerId(pki().expiredApplication);
    stamped.timeStamp = fixtures::TimeStamp{&tsa, std::time(nullptr) - 10 * fixtures::ApplePki::day};
    EXPECT_EQ(refusal(signedBundle("Stamped.vst3", stamped)), "");
    EXPECT_EQ(refusal(signedBundle("Unstamped.vst3", developerId(pki().expiredApplication))),
              invalid("Unstamped.vst3", "the signing certificate has expired"));
}

TEST_F(CodeVerifierTest, ChecksNestedCodeAndCodelessBundles) {
    auto nestedApp = [&](const std::string& name, const std::string& framework = "thin") {
        fs::path bundle = builder(name).file("Helpers/tool", executable("thin")).build();
        BundleBuilder::framework(bundle / "Contents" / "Frameworks", "Core.framework", executable(framework));
        return bundle;
    };
    fs::path good = nestedApp("Nested.app");
    BundleSigner(ostrel()).sign(good);
    EXPECT_EQ(refusal(good), "");

    fs::path bare = nestedApp("Bare.app", "unsigned");
    BundleSigner(ostrel()).leaveUnsigned("Frameworks/Core.framework").sign(bare);
    EXPECT_EQ(refusal(bare), invalid("Bare.app", "nested code is not signed: Contents/Frameworks/Core.framework"));

    fs::path other = nestedApp("Other.app");
    BundleSigner(ostrel()).sealRequirement("Helpers/tool", "identifier \"com.someone.else\"").sign(other);
    EXPECT_EQ(refusal(other),
              invalid("Other.app", "nested code does not satisfy its sealed requirement: Contents/Helpers/tool"));

    fs::path codeless = BundleBuilder(dir_.path(), "Presets.bundle")
                            .identifier("com.ostrel.presets")
                            .executable(std::nullopt)
                            .file("Resources/a.preset", "preset")
                            .build();
    fixtures::SignedCode made = BundleSigner(ostrel()).sign(codeless);
    VerifiedCode verified = verifier().verify(codeless);
    EXPECT_EQ(verified.identifier, "com.ostrel.presets");
    EXPECT_EQ(verified.cdhashes, (std::vector<VerifiedCode::Cdhash>{{"", made.cdhashes.at(0)}}));
    fixtures::Tampering::flipByte(codeless / "Contents/Resources/a.preset", 0);
    EXPECT_EQ(refusal(codeless), invalid("Presets.bundle", "Contents/Resources/a.preset was modified after signing"));
}

TEST_F(CodeVerifierTest, LimitsHowDeeplyCodeMayNest) {
    // Codeless plug-ins inside each other, `levels` deep below the outer bundle.
    auto chain = [&](const std::string& name, int levels) {
        fs::path outer = dir_.path() / name;
        fs::path parent = dir_.path();
        std::string folder = name;
        for (int level = 0; level <= levels; ++level) {
            BundleBuilder(parent, folder)
                .identifier("com.ostrel.level" + std::to_string(level))
                .executable(std::nullopt)
                .build();
            parent = parent / folder / "Contents" / "PlugIns";
            folder = "Level" + std::to_string(level + 1) + ".bundle";
        }
        BundleSigner(ostrel()).sign(outer);
        return outer;
    };
    EXPECT_EQ(refusal(chain("Eight.bundle", 8)), "");
    std::string deepest = "Contents/PlugIns/Level1.bundle";
    for (int level = 2; level <= 9; ++level)
        deepest += "/Contents/PlugIns/Level" + std::to_string(level) + ".bundle";
    EXPECT_EQ(refusal(chain("Nine.bundle", 9)),
              invalid("Nine.bundle", "nested code is nested too deeply at " + deepest));
}

TEST_F(CodeVerifierTest, RefusesUnsignedForeignAndAdHocCode) {
    EXPECT_EQ(refusal(builder("Plain.vst3", "unsigned").build()), "Plain.vst3 is not code signed. Install blocked.");
    EXPECT_EQ(refusal(BundleBuilder(dir_.path(), "Presets.bundle").executable(std::nullopt).build()),
              "Presets.bundle is not code signed. Install blocked.");
    EXPECT_EQ(refusal(signedBundle("AdHoc.vst3", fixtures::SignOptions{})),
              "AdHoc.vst3 is ad-hoc signed, without an Ostrel Developer ID. Install blocked.");
    EXPECT_EQ(refusal(signedBundle("Foreign.vst3", developerId(pki().otherApplication))),
              "Foreign.vst3 is signed by team Q9W8E7R6T5, which is not Ostrel. Install blocked.");
    // A bare Mach-O file is checked on its own.
    EXPECT_EQ(verifier().verify(thin("tool", "arm64", ostrel())).identifier, "com.ostrel.fixture");
    EXPECT_EQ(refusal(dir_.path() / "Missing.vst3"), invalid("Missing.vst3", "not found"));
}

TEST_F(CodeVerifierTest, SaysWhyOstrelsTeamWithoutADeveloperIdIsRefused) {
    EXPECT_EQ(refusal(signedBundle("Development.vst3", developerId(pki().developmentApplication))),
              invalid("Development.vst3", "the signing certificate is not a Developer ID Application certificate"));
    EXPECT_EQ(refusal(signedBundle("Kext.vst3", developerId(pki().kextApplication))), "");
}

// Stands in for a revocation client that fails inside (a library error, a bug).
class FailingRevocationCheck : public signature::RevocationCheck {
public:
    std::optional<std::string> revocationReason(const signature::CertificateChain&,
                                                const std::vector<signature::Bytes>&) const override {
        throw std::runtime_error("OCSP responder state is inconsistent");
    }
};

TEST_F(CodeVerifierTest, TurnsInternalErrorsIntoRefusals) {
    signature::TrustSettings failing = trust();
    failing.revocation = std::make_shared<FailingRevocationCheck>();
    CodeVerifier verifier(policy(), failing);
    fs::path bundle = signedBundle("Echo.vst3", ostrel());
    EXPECT_EQ(refusal([&] { verifier.verify(bundle); }), invalid("Echo.vst3", "the check could not be completed"));
    fs::path tool = thin("tool", "arm64", ostrel());
    EXPECT_EQ(refusal([&] { verifier.verify(tool); }), invalid("tool", "the check could not be completed"));
    EXPECT_FALSE(verifier.isNotarized(bundle));
}

TEST_F(CodeVerifierTest, ChecksTheResourceSealOfEveryArchitecture) {
    // Each slice of a universal executable seals CodeResources on its own;
    // one slice sealing other bytes is refused whichever slice it is.
    for (size_t slice : {size_t(0), size_t(1)}) {
        std::string name = "Seal" + std::to_string(slice) + ".vst3";
        fs::path bundle = builder(name, "fat").build();
        BundleSigner(ostrel()).sign(bundle);
        fs::path contents = bundle / "Contents";
        signature::Bytes info = fixtures::readBytes(contents / "Info.plist");
        auto other = ostrel();
        other.identifier = "com.ostrel.echo";
        other.infoPlist = std::string(info.begin(), info.end());
        other.resources = "<plist><dict/></plist>";
        fixtures::tamper::resignSlice(contents / "MacOS/Echo", slice, other);
        EXPECT_EQ(refusal(bundle),
                  invalid(name, "Contents/_CodeSignature/CodeResources does not match its sealed hash"))
            << slice;
    }
}

TEST_F(CodeVerifierTest, RefusesEveryChangeAfterSigning) {
    struct Case {
        std::string name;
        std::function<void(const fs::path& contents)> tamper;
        std::string detail; // empty: still valid
    };
    std::vector<Case> cases = {
        {"Page.vst3", [](const fs::path& c) { fixtures::Tampering::flipByte(c / "MacOS/Echo", 3 * 4096 + 17); },
         "code page 3 of the arm64 slice does not match its hash"},
        {"Info.vst3",
         [](const fs::path& c) {
             signature::Bytes info = fixtures::readBytes(c / "Info.plist");
             std::string text(info.begin(), info.end());
             fixtures::writeText(c / "Info.plist", text.replace(text.find("1.4.2"), 1, "9"));
         },
         "Contents/Info.plist does not match its sealed hash"},
        {"Resource.vst3", [](const fs::path& c) { fixtures::Tampering::flipByte(c / "Resources/x.png", 0); },
         "Contents/Resources/x.png was modified after signing"},
        {"Seal.vst3", [](const fs::path& c) { fixtures::Tampering::flipByte(c / "_CodeSignature/CodeResources", -12); },
         "Contents/_CodeSignature/CodeResources does not match its sealed hash"},
        {"Added.vst3", [](const fs::path& c) { fixtures::writeText(c / "Resources/y.png", "new"); },
         "Contents/Resources/y.png was added after signing"},
        {"Removed.vst3", [](const fs::path& c) { fs::remove(c / "Resources/x.png"); },
         "a sealed file is missing: Contents/Resources/x.png"},
        {"Optional.vst3", [](const fs::path& c) { fs::remove_all(c / "Resources/en.lproj"); }, ""},
        {"Relinked.vst3",
         [](const fs::path& c) { fixtures::Tampering::relink(c / "Resources/current.png", "en.lproj"); },
         "Contents/Resources/current.png link target was changed after signing"},
        {"Stray.vst3", [](const fs::path& c) { fixtures::writeText(c / "_CodeSignature/extra", "x"); },
         "Contents/_CodeSignature/extra is not part of the signature"},
    };
    for (const Case& c : cases) {
        fs::path bundle = signedBundle(c.name, ostrel());
        c.tamper(bundle / "Contents");
        EXPECT_EQ(refusal(bundle), c.detail.empty() ? "" : invalid(c.name, c.detail)) << c.name;
    }
    // Links sealed as they are must still stay inside the bundle.
    fs::path escaping = builder("Escaping.vst3").symlink("Resources/up", "../../../elsewhere").build();
    BundleSigner(ostrel()).sign(escaping);
    EXPECT_EQ(refusal(escaping), invalid("Escaping.vst3", "Contents/Resources/up link points outside the bundle"));
    fs::path absolute = builder("Absolute.vst3").symlink("Resources/abs", "/etc/hosts").build();
    BundleSigner(ostrel()).sign(absolute);
    EXPECT_EQ(refusal(absolute), invalid("Absolute.vst3", "Contents/Resources/abs link points to an absolute path"));
}

TEST_F(CodeVerifierTest, ReadsAStapledTicketListingEveryArchitecture) {
    fs::path bundle = builder("Echo.app", "fat").build();
    fixtures::SignedCode code = BundleSigner(ostrel()).sign(bundle);
    ASSERT_EQ(code.cdhashes.size(), 2u);
    EXPECT_FALSE(verifier().verify(bundle).notarized);
    BundleSigner::staple(bundle, code);
    EXPECT_TRUE(verifier().verify(bundle).notarized);
    // A ticket for only one architecture does not cover the code.
    fixtures::NotaryTicketWriter::stapleToBundle(bundle, fixtures::NotaryTicketWriter::ticket({code.cdhashes[0]}));
    EXPECT_FALSE(verifier().isNotarized(bundle));
}

TEST_F(CodeVerifierTest, ChecksDiskImageSignatures) {
    fs::path folder = dir_.path() / "volume";
    fixtures::writeText(folder / "ReadMe.txt", "hello");
    auto image = fixtures::UdifImage::fromFolder(folder);
    auto write = [&](const std::string& name, const fixtures::SignOptions& options) {
        fs::path file = dir_.path() / name;
        fixtures::writeSignedImage(image, options, file);
        return file;
    };
    CodeVerifier v = verifier();
    EXPECT_FALSE(v.verifyContainerSignature(write("plain.dmg", fixtures::SignOptions{})));
    fs::path good = write("good.dmg", ostrel());
    EXPECT_TRUE(v.verifyContainerSignature(good));
    std::string foreign = "other.dmg is ad-hoc signed, without an Ostrel Developer ID. Install blocked.";
    EXPECT_EQ(refusal([&] { v.verifyContainerSignature(write("other.dmg", developerId(pki().otherApplication))); }),
              foreign);
    fixtures::Tampering::flipByte(good, 100);
    EXPECT_EQ(refusal([&] { v.verifyContainerSignature(good); }),
              "good.dmg is ad-hoc signed, without an Ostrel Developer ID. Install blocked.");
}

} // namespace
} // namespace ostrel::test
