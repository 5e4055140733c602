#include "Install/DiskImageListing.h"
#include "Install/Extractor.h"
#include "Install/InstallError.h"
#include "Refusal.h"
#include "TempDir.h"
#include "UdifImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace ostrel;
namespace fs = std::filesystem;
using fixtures::UdifImage;
using ::testing::ElementsAre;

namespace {

void makeBundle(const fs::path& bundle, const std::string& content = "plist") {
    test::makeBundleFolder(bundle, content);
}

std::string refusal(const std::function<void()>& action) {
    return test::refusalOf<InstallError>(action);
}

struct DiskImageTest : ::testing::Test {
    test::TempDir dir;
    fs::path volume = dir / "volume";
    fs::path work = dir / "work";
    fs::path staging = work / "bundles";
    Extractor extractor;

    fs::path image(UdifImage::Chunks chunks = UdifImage::Chunks::zlib) {
        const fs::path file = dir / "release.dmg";
        UdifImage::fromFolder(volume, chunks).write(file);
        return file;
    }
};

std::string listingOf(const std::vector<std::string>& blocks) {
    std::string text = "Path = x.dmg\nType = Dmg\n\n----------\n";
    for (const auto& block : blocks)
        text += block + "\n\n";
    return text;
}

} // namespace

TEST_F(DiskImageTest, BundlesNearTheTopAreCopiedWithTheirLinks) {
    const auto framework = volume / "Tool.app/Contents/Frameworks/Lib.framework";
    makeBundle(volume / "Tool.app");
    fs::create_directories(framework / "Versions/A");
    fs::create_symlink("A", framework / "Versions/Current");
    fs::create_symlink("../../../Info.plist", volume / "Tool.app/Contents/Frameworks/up-to-info");
    makeBundle(volume / "Extras/Plug-Ins/Echo.vst3");
    makeBundle(volume / "a/b/c/Deep.vst3");
    fs::permissions(volume / "Tool.app/Contents/Info.plist", fs::perms(0640));

    for (const auto chunks : {UdifImage::Chunks::zlib, UdifImage::Chunks::raw}) {
        const fs::path attempt = work / (chunks == UdifImage::Chunks::zlib ? "zlib" : "raw");
        const auto result = extractor.copyFromDiskImage(image(chunks), attempt, attempt / "bundles");
        std::vector<std::string> names;
        for (const auto& b : result.bundles)
            names.push_back(b.name());
        EXPECT_THAT(names, ElementsAre("Echo.vst3", "Tool.app")) << "Deep.vst3 lies below three levels";
        const auto tool = result.bundles[1].url;
        EXPECT_EQ(fs::read_symlink(tool / "Contents/Frameworks/Lib.framework/Versions/Current"), "A");
        EXPECT_EQ(fs::status(tool / "Contents/Info.plist").permissions() & fs::perms::mask, fs::perms(0640));
        EXPECT_FALSE(fs::exists(attempt / "mount")) << "the image is always detached";
    }
}

TEST_F(DiskImageTest, CraftedImagesAreRefusedBeforeAnythingIsWritten) {
    makeBundle(volume / "Tool.app");
    fs::create_symlink("../../../outside", volume / "Tool.app/Contents/up");
    EXPECT_EQ(refusal([&] { extractor.copyFromDiskImage(image(), work, staging); }),
              "The download was refused: up links outside the archive.");
    EXPECT_FALSE(fs::exists(work / "mount"));
    EXPECT_FALSE(fs::exists(staging));

    fs::remove(volume / "Tool.app/Contents/up");
    fs::create_symlink("/etc", volume / "Tool.app/Contents/etc");
    EXPECT_EQ(refusal([&] { extractor.copyFromDiskImage(image(), work, staging); }),
              "The download was refused: etc links outside the archive.");
    EXPECT_FALSE(fs::exists(work / "mount"));
    EXPECT_FALSE(fs::exists(staging));
    EXPECT_FALSE(fs::exists(dir / "outside"));
}

TEST_F(DiskImageTest, ContentAboveTheLimitIsRefusedBeforeExtraction) {
    test::writeFile(volume / "Big.vst3/Contents/blob", std::string(120'000, 'b'));
    extractor.maxExpandedBytes = 100'000;
    EXPECT_EQ(refusal([&] { extractor.copyFromDiskImage(image(), work, staging); }),
              "The download expands to 120 KB, over the limit.");
    EXPECT_FALSE(fs::exists(work / "mount"));
}

TEST_F(DiskImageTest, DamagedImageFailsAsATool) {
    test::writeFile(dir / "broken.dmg", std::string(4096, 'x'));
    EXPECT_THAT(refusal([&] { extractor.copyFromDiskImage(dir / "broken.dmg", work, staging); }),
                ::testing::StartsWith("7zz failed: "));
    EXPECT_FALSE(fs::exists(work / "mount"));
}

TEST(DiskImageListing, RefusesMembersThatWouldLandOutside) {
    const auto safe = DiskImageListing::parse(listingOf({"Path = A.app\nFolder = +\nMode = drwxr-xr-x",
                                                         "Path = A.app/Current\nMode = lrwxrwxrwx\nSymbolic Link = A",
                                                         "Path = A.app/x\nSize = 12\nMode = -rw-r--r--"}));
    EXPECT_NO_THROW(safe.assertSafe());
    EXPECT_EQ(safe.totalSize(), 12);
    ASSERT_EQ(safe.members().size(), 3u);
    EXPECT_TRUE(safe.members()[1].isLink);

    const auto through = DiskImageListing::parse(listingOf(
        {"Path = a\nMode = lrwxrwxrwx\nSymbolic Link = sub", "Path = a/written\nSize = 1\nMode = -rw-r--r--"}));
    EXPECT_EQ(refusal([&] { through.assertSafe(); }),
              "The download was refused: a/written would be written through a link.");
    EXPECT_EQ(refusal([&] { DiskImageListing::parse(listingOf({"Path = ../x\nSize = 1"})).assertSafe(); }),
              "The download was refused: ../x would land outside the disk image's folder.");
    EXPECT_EQ(refusal([&] { DiskImageListing::parse(listingOf({"Path = /tmp/x\nSize = 1"})).assertSafe(); }),
              "The download was refused: /tmp/x would land outside the disk image's folder.");
    // A sibling whose name merely starts with the volume's own is outside it.
    EXPECT_EQ(refusal([&] {
                  DiskImageListing::parse(
                      listingOf({"Path = A.app/Peek\nMode = lrwxrwxrwx\nSymbolic Link = ../../volumeX/secret"}))
                      .assertSafe();
              }),
              "The download was refused: Peek links outside the archive.");
    EXPECT_EQ(refusal([&] {
                  DiskImageListing::parse(listingOf({"Path = Up\nMode = lrwxrwxrwx\nSymbolic Link = .."})).assertSafe();
              }),
              "The download was refused: Up links outside the archive.");
    EXPECT_EQ(refusal([&] { DiskImageListing::parse(listingOf({"Path = x\nMode = drwx\nPath = y"})); }),
              "The download was refused: the disk image's contents could not be read (a member is described twice).");
    EXPECT_EQ(refusal([&] { DiskImageListing::parse(listingOf({"Path = x\nSize = -5"})); }),
              "The download was refused: the disk image's contents could not be read (bad size -5).");
    EXPECT_EQ(
        DiskImageListing::parse(listingOf({"Path = x\nSize = 9223372036854775807", "Path = y\nSize = 1"})).totalSize(),
        INT64_MAX);
}
