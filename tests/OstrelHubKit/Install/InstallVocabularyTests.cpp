#include "Install/ArtifactKind.h"
#include "Install/BundleKind.h"
#include "Install/InstallError.h"
#include "Install/InstalledItem.h"
#include "TempDir.h"

#include <nlohmann/json.hpp>
#include <unordered_set>

#include <gtest/gtest.h>

using namespace ostrel;
namespace fs = std::filesystem;

TEST(BundleKind, KindsKnowTheirNamesAndFolders) {
    std::vector<std::string_view> raws;
    std::vector<std::string_view> labels;
    for (auto kind : allBundleKinds) {
        raws.push_back(rawValue(kind));
        labels.push_back(label(kind));
    }
    EXPECT_EQ(raws, (std::vector<std::string_view>{"vst3", "component", "clap", "vst", "app"}));
    EXPECT_EQ(labels, (std::vector<std::string_view>{"VST3", "Audio Unit", "CLAP", "VST", "App"}));

    const fs::path home = "/home/ada";
    const fs::path apps = "/home/ada/Applications";
    EXPECT_EQ(destinationDirectory(BundleKind::vst3, home, apps), "/home/ada/Library/Audio/Plug-Ins/VST3");
    EXPECT_EQ(destinationDirectory(BundleKind::component, home, apps), "/home/ada/Library/Audio/Plug-Ins/Components");
    EXPECT_EQ(destinationDirectory(BundleKind::app, home, apps), apps);
    EXPECT_EQ(systemDirectory(BundleKind::clap), fs::path("/Library/Audio/Plug-Ins/CLAP"));
    EXPECT_EQ(systemDirectory(BundleKind::app), std::nullopt);

    EXPECT_EQ(bundleKindOf("/x/Echo.VST3"), BundleKind::vst3);
    EXPECT_EQ(bundleKindOf("/x/Tool.app"), BundleKind::app);
    EXPECT_EQ(bundleKindOf("/x/Readme.txt"), std::nullopt);
    EXPECT_EQ(bundleKindOf("/x/vst3"), std::nullopt);
}

TEST(BundleKind, AcceptableBundleNamesAreSafeNamesOfABundleKind) {
    for (const char* good : {"Plug.vst3", "Tool.APP", "Synth.component", "Echo.clap", "Old.vst"})
        EXPECT_TRUE(isAcceptableBundleName(good)) << good;
    for (const char* bad : {"", ".hidden.vst3", "a/b.vst3", "..", "Readme.txt", "vst3", "Plug.vst3.zip"})
        EXPECT_FALSE(isAcceptableBundleName(bad)) << bad;
    EXPECT_TRUE(isAcceptableBundleName(std::string(250, 'x') + ".vst3"));
    EXPECT_FALSE(isAcceptableBundleName(std::string(251, 'x') + ".vst3"));
}

TEST(ArtifactKind, SniffDecidesByContentNotName) {
    test::TempDir dir;
    test::writeFile(dir / "release.zip", "xar!" + std::string(600, '\0'));
    test::writeFile(dir / "archive.bin", std::string("PK\x03\x04", 4) + "rest");
    std::string image(4096, '\0');
    image.replace(image.size() - 512, 4, "koly");
    test::writeFile(dir / "image.pkg", image);
    std::string almost(511, '\0');
    almost.replace(0, 4, "koly");
    test::writeFile(dir / "small", almost);
    test::writeFile(dir / "empty", "");
    test::writeFile(dir / "text", std::string(1000, 'a'));

    EXPECT_EQ(sniffArtifactKind(dir / "release.zip"), ArtifactKind::pkg);
    EXPECT_EQ(sniffArtifactKind(dir / "archive.bin"), ArtifactKind::zip);
    EXPECT_EQ(sniffArtifactKind(dir / "image.pkg"), ArtifactKind::dmg);
    EXPECT_EQ(sniffArtifactKind(dir / "small"), std::nullopt);
    EXPECT_EQ(sniffArtifactKind(dir / "empty"), std::nullopt);
    EXPECT_EQ(sniffArtifactKind(dir / "text"), std::nullopt);
    EXPECT_THROW(sniffArtifactKind(dir / "missing"), fs::filesystem_error);
    EXPECT_THROW(sniffArtifactKind(dir.path()), fs::filesystem_error);
}

TEST(InstalledItem, JsonUsesFieldNamesAndLeavesOutAMissingVersion) {
    InstalledItem item{"/home/ada/Library/Audio/Plug-Ins/VST3/Echo.vst3", BundleKind::vst3, "com.ostrel.echo",
                       "K7QZ2M4XNB", "1.2"};
    const nlohmann::json json = item;
    EXPECT_EQ(json["kind"], "vst3");
    EXPECT_EQ(json["teamID"], "K7QZ2M4XNB");
    EXPECT_EQ(json.get<InstalledItem>(), item);
    EXPECT_EQ(item.name(), "Echo.vst3");

    item.version.reset();
    const nlohmann::json bare = item;
    EXPECT_FALSE(bare.contains("version"));
    EXPECT_EQ(bare.get<InstalledItem>(), item);

    for (const char* key : {"path", "kind", "identifier", "teamID"}) {
        nlohmann::json missing = bare;
        missing.erase(key);
        EXPECT_THROW(missing.get<InstalledItem>(), nlohmann::json::exception) << key;
    }
    nlohmann::json unknownKind = bare;
    unknownKind["kind"] = "dll";
    EXPECT_THROW(unknownKind.get<InstalledItem>(), nlohmann::json::exception);

    std::unordered_set<InstalledItem> set{item, item};
    EXPECT_EQ(set.size(), 1u);
}

TEST(InstallError, EveryCaseReadsAsTheUserSentence) {
    EXPECT_STREQ(InstallError::unsafeArchive("lib links outside the archive").what(),
                 "The download was refused: lib links outside the archive.");
    EXPECT_STREQ(InstallError::tooLarge(1).what(), "The download expands to 1 byte, over the limit.");
    EXPECT_STREQ(InstallError::toolFailed("ditto", "").what(), "ditto failed: ");
    EXPECT_STREQ(InstallError::sizeMismatch(1000, 999).what(),
                 "The download is 999 bytes; the store said 1000. Discarded.");
    EXPECT_STREQ(InstallError::appRunning("Tool").what(), "Quit Tool first, then install again.");
    EXPECT_STREQ(InstallError::placementFailed("disk full").what(), "Could not put the files in place: disk full");
    EXPECT_STREQ(InstallError::downgrade("Echo.vst3", "1.10", "1.2").what(),
                 "Echo.vst3 1.2 is older than the installed 1.10. Refused, so an old release cannot replace a "
                 "newer one.");
    EXPECT_STREQ(InstallError::occupied("Echo.vst3").what(),
                 "Something that is not this Ostrel product is already installed as Echo.vst3. Nothing was "
                 "replaced. Move it aside to install.");
    EXPECT_STREQ(InstallError::untrustedContainer("not signed").what(),
                 "The download's own signature was refused: not signed.");
    EXPECT_STREQ(InstallError::unknownFormat().what(), "The download is not a package, disk image or zip archive.");
    EXPECT_STREQ(InstallError::nothingToInstall().what(), "The download contains no Mac app or plug-in.");

    EXPECT_EQ(InstallError::occupied("A"), InstallError::occupied("A"));
    EXPECT_FALSE(InstallError::occupied("A") == InstallError::occupied("B"));
    EXPECT_FALSE(InstallError::unsafeArchive("x") == InstallError::untrustedContainer("x"));
}
