#include "DiskImageSigner.h"
#include "Install/Extractor.h"
#include "ReleasePackage.h"
#include "SignedBundleFixture.h"
#include "UdifImage.h"

#include <gmock/gmock.h>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;
using fixtures::ReleasePackage;
using fixtures::UdifImage;

class SignedContainerTest : public SignedBundleFixture {
protected:
    Extractor extractor(bool requireSigned = false) const {
        return {.verifier = CodeVerifier(policy(), trust()), .requireSignedContainers = requireSigned};
    }

    fs::path package(const std::string& name, std::optional<fixtures::Identity> signer) {
        ReleasePackage release;
        release.component({.bundle = echo("1.2", name).staged.url, .installFolder = "/Library/Audio/Plug-Ins/VST3"});
        if (signer)
            release.signedBy(*signer);
        const fs::path file = dir_ / (name + ".pkg");
        release.write(file, dir_ / (name + "-scratch"));
        return file;
    }

    fs::path image(const std::string& name, std::optional<fixtures::Identity> signer) {
        const fs::path volume = dir_ / (name + "-volume");
        fs::create_directories(volume);
        fs::rename(echo("1.2", name).staged.url, volume / "Echo.vst3");
        fixtures::SignOptions options;
        options.identifier = "com.ostrel.image";
        options.identity = signer;
        const fs::path file = dir_ / (name + ".dmg");
        fixtures::writeSignedImage(UdifImage::fromFolder(volume), options, file);
        return file;
    }

    std::string names(const Extraction& extraction) const {
        std::string text;
        for (const auto& bundle : extraction.bundles)
            text += bundle.name() + " ";
        return text;
    }
};

TEST_F(SignedContainerTest, PackagesMustBeSignedByTheTeamsInstallerIdentity) {
    const fs::path work = dir_ / "work";
    EXPECT_EQ(names(extractor(true).extract(package("ours", pki().installer), ArtifactKind::pkg, work / "a")),
              "Echo.vst3 ");
    EXPECT_EQ(
        refusal([&] { extractor().extract(package("theirs", pki().otherInstaller), ArtifactKind::pkg, work / "b"); }),
        "The download's own signature was refused: the package is not signed by Ostrel's Developer ID.");
    EXPECT_EQ(
        refusal([&] { extractor().extract(package("app-leaf", pki().application), ArtifactKind::pkg, work / "c"); }),
        "The download's own signature was refused: the package is not signed by Ostrel's Developer ID.");
    const fs::path plain = package("plain", std::nullopt);
    EXPECT_EQ(refusal([&] { extractor(true).extract(plain, ArtifactKind::pkg, work / "d"); }),
              "The download's own signature was refused: the package is not signed.");
    EXPECT_EQ(names(extractor().extract(plain, ArtifactKind::pkg, work / "e")), "Echo.vst3 ");
    EXPECT_FALSE(fs::exists(work / "b/expanded")) << "refused before expansion";
}

TEST_F(SignedContainerTest, DiskImagesAreCheckedBeforeTheyAreOpened) {
    const fs::path work = dir_ / "work";
    EXPECT_EQ(names(extractor(true).extract(image("ours", pki().application), ArtifactKind::dmg, work / "a")),
              "Echo.vst3 ");
    const fs::path plain = image("plain", std::nullopt);
    EXPECT_EQ(names(extractor().extract(plain, ArtifactKind::dmg, work / "b")), "Echo.vst3 ");
    EXPECT_EQ(refusal([&] { extractor(true).extract(plain, ArtifactKind::dmg, work / "c"); }),
              "The download's own signature was refused: the disk image is not signed.");
    EXPECT_EQ(
        refusal([&] { extractor().extract(image("theirs", pki().otherApplication), ArtifactKind::dmg, work / "d"); }),
        "theirs.dmg is ad-hoc signed, without an Ostrel Developer ID. Install blocked.");
    for (const char* attempt : {"a", "b", "c", "d"})
        EXPECT_FALSE(fs::exists(work / attempt / "mount")) << attempt << ": the image was not detached";
}

} // namespace
} // namespace ostrel::test
