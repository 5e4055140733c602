#include "Install/Extractor.h"
#include "Install/InstallError.h"
#include "Install/PackageInfoReader.h"
#include "Install/Pbzx.h"
#include "Refusal.h"
#include "TempDir.h"
#include "Util/Subprocess.h"

#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <lzma.h>

using namespace ostrel;
namespace fs = std::filesystem;
using ::testing::ElementsAre;

namespace {

// Archives are made with the same bsdtar the hub uses to read them; "-s"
// renames members so hostile names can be written from harmless files.
void archive(const fs::path& output, const fs::path& from, std::vector<std::string> arguments,
             const std::string& format = "zip") {
    std::vector<std::string> all{"-c", "-P", "--format", format, "-f", output.string(), "-C", from.string()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    Subprocess::check("/usr/bin/bsdtar", all, 60);
}

void makeBundle(const fs::path& bundle, const std::string& content = "plist") {
    test::makeBundleFolder(bundle, content);
}

std::vector<std::string> names(const std::vector<StagedBundle>& bundles) {
    std::vector<std::string> result;
    for (const auto& b : bundles)
        result.push_back(b.name());
    return result;
}

// Every path under `root`, to prove that nothing appeared outside the work folder.
std::vector<fs::path> everything(const fs::path& root) {
    std::vector<fs::path> paths;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string refusal(const std::function<void()>& action) {
    return test::refusalOf<InstallError>(action);
}

struct ExtractorTest : ::testing::Test {
    test::TempDir dir;
    fs::path source = dir / "source";
    fs::path work = dir / "work";
    fs::path staging = work / "bundles";
    Extractor extractor;
};

} // namespace

TEST_F(ExtractorTest, FindBundlesSkipsLinksMacosxDeepAndNestedBundles) {
    makeBundle(source / "b/Zeta.vst3");
    makeBundle(source / "Alpha.component");
    makeBundle(source / "Alpha.component/Contents/PlugIns/Inner.vst3");
    makeBundle(source / "__MACOSX/Ghost.vst3");
    makeBundle(source / "1/2/3/4/5/6/Deep7.clap");
    makeBundle(source / "1/2/3/4/5/6/7/Deep8.clap");
    makeBundle(source / ".Hidden.vst3");
    fs::create_directories(source / "Readme.txt.d");
    fs::create_directory_symlink(source / "b/Zeta.vst3", source / "Linked.vst3");
    test::writeFile(source / "File.vst3", "not a folder");

    std::vector<std::string> found;
    for (const auto& bundle : Extractor::findBundles(source, 7))
        found.push_back(bundle.url.lexically_relative(source).string());
    EXPECT_THAT(found, ElementsAre("Alpha.component", "1/2/3/4/5/6/Deep7.clap", "b/Zeta.vst3"));
    EXPECT_EQ(Extractor::findBundles(source, 3).size(), 2u);
    EXPECT_TRUE(Extractor::findBundles(dir / "missing", 7).empty());
}

TEST_F(ExtractorTest, ZipBundlesAreStagedInFoldersOfTheirOwn) {
    makeBundle(source / "one/Echo.vst3", "first");
    makeBundle(source / "two/Echo.vst3", "second");
    makeBundle(source / "Tool.app");
    makeBundle(source / "__MACOSX/Echo.vst3");
    archive(dir / "release.zip", source, {"one", "two", "Tool.app", "__MACOSX"});

    const auto result = extractor.extractZip(dir / "release.zip", work, staging);
    EXPECT_THAT(names(result.bundles), ElementsAre("Echo.vst3", "Echo.vst3", "Tool.app"));
    EXPECT_TRUE(result.notes.empty());
    EXPECT_NE(result.bundles[0].url.parent_path(), result.bundles[1].url.parent_path());
    for (const auto& bundle : result.bundles) {
        EXPECT_EQ(bundle.url.parent_path().parent_path(), staging);
        EXPECT_TRUE(fs::exists(bundle.url / "Contents/Info.plist"));
    }
    EXPECT_EQ(result.bundles[2].kind, BundleKind::app);
}

TEST_F(ExtractorTest, HostileZipsAreRefusedAndWriteNothingOutside) {
    test::writeFile(source / "payload/x", "x");
    fs::create_directories(source / "link-target");
    fs::create_symlink("../../../outside", source / "evil");
    archive(dir / "dotdot.zip", source, {"-s", ",^payload/x$,../../escaped,", "payload/x"});
    archive(dir / "absolute.zip", source, {"-s", ",^payload/x$," + (dir / "absolute").string() + ",", "payload/x"});
    // A link to outside, then a file written through it.
    fs::create_symlink(dir.path(), source / "through");
    archive(dir / "through.zip", source, {"-s", ",^payload/x$,through/written,", "through", "payload/x"});
    archive(dir / "link.zip", source, {"evil"});

    const auto before = everything(dir.path());
    EXPECT_EQ(refusal([&] { extractor.extractZip(dir / "dotdot.zip", work, staging); }),
              "The download was refused: ../../escaped would land outside the archive.");
    EXPECT_EQ(refusal([&] { extractor.extractZip(dir / "absolute.zip", work, staging); }),
              "The download was refused: " + (dir / "absolute").string() + " would land outside the archive.");
    EXPECT_THAT(refusal([&] { extractor.extractZip(dir / "through.zip", work, staging); }),
                ::testing::HasSubstr("Cannot extract through symlink"));
    const fs::path fresh = dir / "work-2";
    EXPECT_EQ(refusal([&] { extractor.extractZip(dir / "link.zip", fresh, fresh / "bundles"); }),
              "The download was refused: evil links outside the archive.");
    for (const auto& path : everything(dir.path())) {
        const bool inWork = path.string().starts_with((dir / "work").string());
        EXPECT_TRUE(inWork || std::find(before.begin(), before.end(), path) != before.end()) << "appeared: " << path;
    }
    EXPECT_FALSE(fs::exists(dir / "escaped"));
    EXPECT_FALSE(fs::exists(dir / "absolute"));
    EXPECT_FALSE(fs::exists(dir / "written"));
}

TEST_F(ExtractorTest, ZipSizesAreCheckedBeforeAndAfterExpansion) {
    test::writeFile(source / "big", std::string(100'000, 'a'));
    archive(dir / "big.zip", source, {"big"});
    extractor.maxExpandedBytes = 99'999;
    EXPECT_EQ(refusal([&] { extractor.checkZipSize(dir / "big.zip"); }),
              "The download expands to 100 KB, over the limit.");
    extractor.maxExpandedBytes = 100'000;
    EXPECT_NO_THROW(extractor.checkZipSize(dir / "big.zip"));
    test::writeFile(dir / "not.zip", "PK\x03\x04 broken");
    EXPECT_THAT(refusal([&] { extractor.checkZipSize(dir / "not.zip"); }), ::testing::StartsWith("zipinfo failed"));
}

TEST_F(ExtractorTest, ZipThatExpandsPastItsListingIsRefused) {
    // The central directory claims a tiny size; the real data is larger.
    test::writeFile(source / "big", std::string(200'000, 'a'));
    archive(dir / "lying.zip", source, {"big"});
    std::fstream zip(dir / "lying.zip", std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(zip)), std::istreambuf_iterator<char>());
    const auto central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    const uint32_t small = 10;
    bytes.replace(central + 24, 4, reinterpret_cast<const char*>(&small), 4); // uncompressed size
    zip.seekp(0);
    zip.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    zip.close();
    extractor.maxExpandedBytes = 100'000;
    EXPECT_NO_THROW(extractor.checkZipSize(dir / "lying.zip"));
    // bsdtar notices that the entry's two headers disagree; had they agreed,
    // the measured tree would have been refused as too large.
    EXPECT_THAT(refusal([&] { extractor.extractZip(dir / "lying.zip", work, staging); }),
                ::testing::HasSubstr("Inconsistent uncompressed size"));
}

TEST_F(ExtractorTest, PackageComponentsStageByInstallLocationAndNoteScripts) {
    // Component one installs its payload as Echo.vst3; component two carries bundles inside.
    const auto one = source / "flat/Echo.pkg";
    const auto two = source / "flat/More.pkg";
    test::writeFile(one / "PackageInfo",
                    R"(<pkg-info install-location="/Library/Audio/Plug-Ins/VST3/Echo.vst3" installKBytes="8"/>)");
    test::writeFile(source / "payload-one/Contents/Info.plist", "echo");
    archive(one / "Payload", source / "payload-one", {"."}, "odc");
    test::writeFile(one / "Scripts", "not expanded");
    test::writeFile(two / "PackageInfo", R"(<pkg-info install-location="/" installKBytes="4"/>)");
    makeBundle(source / "payload-two/Library/Audio/Plug-Ins/Components/Echo.component");
    makeBundle(source / "payload-two/Applications/Tool.app");
    archive(two / "Payload", source / "payload-two", {"."}, "odc");
    archive(dir / "release.pkg", source / "flat", {"Echo.pkg", "More.pkg"}, "xar");

    const auto result = extractor.expandPackage(dir / "release.pkg", work, staging);
    EXPECT_THAT(names(result.bundles), ElementsAre("Echo.vst3", "Echo.component", "Tool.app"));
    EXPECT_EQ(result.bundles[0].kind, BundleKind::vst3);
    EXPECT_EQ(test::readFile(result.bundles[0].url / "Contents/Info.plist"), "echo");
    EXPECT_THAT(result.notes, ElementsAre("Skipped the installer scripts in Echo.pkg; the hub installs files only."));
    EXPECT_TRUE(fs::is_regular_file(work / "expanded/Echo.pkg/Scripts")) << "scripts stay packed";
    EXPECT_FALSE(fs::exists(work / "flat")) << "the shallow expansion is removed";
}

TEST_F(ExtractorTest, PackageSizeDeclaredTooLargeIsRefusedBeforeExpansion) {
    test::writeFile(source / "flat/PackageInfo", R"(<pkg-info installKBytes="5000000"/>)");
    test::writeFile(source / "flat/Payload", "never read");
    archive(dir / "huge.pkg", source / "flat", {"PackageInfo", "Payload"}, "xar");
    EXPECT_EQ(refusal([&] { extractor.expandPackage(dir / "huge.pkg", work, staging); }),
              "The download expands to 5.12 GB, over the limit.");
    EXPECT_FALSE(fs::exists(work / "expanded"));
    EXPECT_FALSE(fs::exists(work / "flat"));
}

TEST_F(ExtractorTest, PackageWhoseDeclaredSizeLiesIsRefusedAfterExpansion) {
    test::writeFile(source / "flat/PackageInfo", R"(<pkg-info installKBytes="1"/>)");
    test::writeFile(source / "payload/Big.vst3/Contents/blob", std::string(300'000, 'b'));
    archive(source / "flat/Payload", source / "payload", {"."}, "odc");
    archive(dir / "liar.pkg", source / "flat", {"PackageInfo", "Payload"}, "xar");
    extractor.maxExpandedBytes = 200'000;
    EXPECT_EQ(refusal([&] { extractor.expandPackage(dir / "liar.pkg", work, staging); }),
              "The download expands to 300 KB, over the limit.");
}

TEST_F(ExtractorTest, PackagePayloadLinkLeavingTheTreeIsRefused) {
    test::writeFile(source / "flat/PackageInfo", R"(<pkg-info install-location="/Applications"/>)");
    fs::create_directories(source / "payload/Tool.app/Contents");
    fs::create_symlink("/etc/passwd", source / "payload/Tool.app/Contents/passwd");
    archive(source / "flat/Payload", source / "payload", {"."}, "odc");
    archive(dir / "link.pkg", source / "flat", {"PackageInfo", "Payload"}, "xar");
    EXPECT_EQ(refusal([&] { extractor.expandPackage(dir / "link.pkg", work, staging); }),
              "The download was refused: passwd links outside the archive.");
}

TEST(Extractor, ComponentDirectoriesAndInstallKBytes) {
    test::TempDir dir;
    test::writeFile(dir / "b.pkg/PackageInfo", R"(<pkg-info installKBytes="12"/>)");
    test::writeFile(dir / ".a.pkg/PackageInfo", "no size");
    test::writeFile(dir / "c/other", "");
    std::vector<std::string> components;
    for (const auto& c : Extractor::componentDirectories(dir.path()))
        components.push_back(c.filename().string());
    EXPECT_THAT(components, ElementsAre(".a.pkg", "b.pkg"));
    EXPECT_EQ(Extractor::installKBytes(dir / "b.pkg/PackageInfo"), 12);
    EXPECT_EQ(Extractor::installKBytes(dir / ".a.pkg/PackageInfo"), 0);
    EXPECT_EQ(Extractor::installKBytes(dir / "missing"), 0);
    test::writeFile(dir / "PackageInfo", R"(<pkg-info installKBytes="99999999999999999999"/>)");
    EXPECT_EQ(Extractor::componentDirectories(dir.path()), std::vector<fs::path>{dir.path()});
    EXPECT_EQ(Extractor::installKBytes(dir / "PackageInfo"), 0) << "a number past 64 bits reads as 0";
}

TEST(PackageInfoReader, ReadsTheLastPkgInfoLocationAndRefusesEntities) {
    PackageInfoReader reader;
    EXPECT_TRUE(reader.parse(R"(<?xml version="1.0"?><pkg-info install-location="/A.vst3"><x/></pkg-info>)"));
    EXPECT_EQ(reader.installLocation(), "/A.vst3");
    PackageInfoReader absent;
    EXPECT_TRUE(absent.parse(R"(<pkg-info version="1"/>)"));
    EXPECT_EQ(absent.installLocation(), std::nullopt);

    PackageInfoReader external;
    EXPECT_FALSE(external.parse(R"(<?xml version="1.0"?><!DOCTYPE p [<!ENTITY e SYSTEM "file:///etc/passwd">]>)"
                                R"(<pkg-info install-location="&e;"/>)"));
    EXPECT_EQ(external.installLocation(), std::nullopt);
    PackageInfoReader laughs;
    EXPECT_FALSE(laughs.parse(R"(<!DOCTYPE p [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;">]>)"
                              R"(<pkg-info install-location="&b;"/>)"));
    EXPECT_FALSE(PackageInfoReader().parse("<pkg-info"));
}

namespace {

void appendBigEndian64(std::string& out, uint64_t value) {
    for (int shift = 56; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

std::string xzCompressed(const std::string& data) {
    std::string out(lzma_stream_buffer_bound(data.size()), '\0');
    size_t used = 0;
    EXPECT_EQ(lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, reinterpret_cast<const uint8_t*>(data.data()),
                                      data.size(), reinterpret_cast<uint8_t*>(out.data()), &used, out.size()),
              LZMA_OK);
    out.resize(used);
    return out;
}

// Apple's chunked payload format: a header, then chunks that are xz streams or stored as they are.
std::string pbzxOf(const std::string& plain, size_t chunkSize) {
    std::string out = "pbzx";
    appendBigEndian64(out, chunkSize);
    for (size_t offset = 0; offset < plain.size(); offset += chunkSize) {
        const std::string piece = plain.substr(offset, chunkSize);
        // Alternate packed and stored chunks, as real payloads mix them.
        const std::string body = (offset / chunkSize) % 2 == 0 ? xzCompressed(piece) : piece;
        appendBigEndian64(out, piece.size());
        appendBigEndian64(out, body.size());
        out += body;
    }
    return out;
}

} // namespace

TEST_F(ExtractorTest, PbzxPayloadsAreDecodedAndBounded) {
    test::writeFile(source / "flat/PackageInfo",
                    R"(<pkg-info install-location="/Library/Audio/Plug-Ins/CLAP/Echo.clap"/>)");
    test::writeFile(source / "payload/Contents/Resources/data", std::string(50'000, 'd'));
    archive(dir / "payload.cpio", source / "payload", {"."}, "odc");
    test::writeFile(source / "flat/Payload", pbzxOf(test::readFile(dir / "payload.cpio"), 16'384));
    archive(dir / "pbzx.pkg", source / "flat", {"PackageInfo", "Payload"}, "xar");

    const auto result = extractor.expandPackage(dir / "pbzx.pkg", work, staging);
    ASSERT_EQ(result.bundles.size(), 1u);
    EXPECT_EQ(result.bundles[0].kind, BundleKind::clap);
    EXPECT_EQ(test::readFile(result.bundles[0].url / "Contents/Resources/data"), std::string(50'000, 'd'));

    extractor.maxExpandedBytes = 40'000;
    const fs::path again = dir / "again";
    EXPECT_THAT(refusal([&] { extractor.expandPackage(dir / "pbzx.pkg", again, again / "bundles"); }),
                ::testing::StartsWith("The download expands to "));
    test::writeFile(dir / "cut.pbzx", pbzxOf("some payload bytes", 4).substr(0, 40));
    EXPECT_EQ(refusal([&] { Pbzx::decode(dir / "cut.pbzx", dir / "cut.out", 1000); }),
              "The download was refused: the package payload is damaged (truncated chunk).");
}
