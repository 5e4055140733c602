#include "BundleBuilder.h"
#include "BundleTampering.h"
#include "SignatureDefectText.h"
#include "TempDir.h"
#include "Verify/CodeVerifier.h"
#include "Verify/Signature/BundleLayout.h"
#include "Verify/Signature/PropertyList.h"
#include "Verify/Signature/PropertyListShape.h"
#include "Verify/Signature/SignatureDefect.h"
#include "Verify/VerificationFailure.h"

#include <filesystem>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace ostrel;
using ostrel::fixtures::BundleBuilder;
namespace Tampering = ostrel::fixtures::Tampering;
using ostrel::test::defectOf;
namespace fs = std::filesystem;

namespace {

std::string layoutDefect(const fs::path& bundle) {
    return defectOf([&] { BundleLayout::read(bundle); });
}

void writeInfo(const fs::path& bundle, const std::string& dictBody) {
    test::writeFile(bundle / "Contents/Info.plist",
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + dictBody +
                        "</dict></plist>\n");
}

} // namespace

TEST(BundleLayout, ReadsXmlAndBinaryInfoPlistsOfEveryKind) {
    test::TempDir dir;
    bool binary = false;
    for (const char* name : {"Echo.vst3", "Echo.component", "Echo.clap", "Echo.vst", "Echo Hub.app"}) {
        binary = !binary;
        fs::path bundle = BundleBuilder(dir.path(), name)
                              .identifier("com.ostrel.echo")
                              .version("214", "2.1.4")
                              .executable("Echo")
                              .binaryInfoPlist(binary)
                              .build();
        EXPECT_EQ(test::readFile(bundle / "Contents/Info.plist").rfind("bplist00", 0) == 0, binary);
        BundleLayout layout = BundleLayout::read(bundle);
        EXPECT_EQ(layout.shape, BundleLayout::Shape::deep) << name;
        EXPECT_EQ(layout.identifier, "com.ostrel.echo");
        EXPECT_EQ(layout.version, "214");
        EXPECT_EQ(layout.mainExecutable(), bundle / "Contents/MacOS/Echo");
        EXPECT_EQ(layout.mainExecutableKey(), "MacOS/Echo");
        EXPECT_EQ(layout.codeResources(), bundle / "Contents/_CodeSignature/CodeResources");
        EXPECT_EQ(bundleVersion(bundle), "214");
    }
}

TEST(BundleLayout, VersionPrefersBundleVersionThenShortVersionTextOnly) {
    test::TempDir dir;
    fs::path bundle = dir / "V.vst3";
    writeInfo(bundle, "<key>CFBundleShortVersionString</key><string>2.0</string>"
                      "<key>CFBundleVersion</key><string>2.0.7</string>");
    EXPECT_EQ(bundleVersion(bundle), "2.0.7");
    writeInfo(bundle, "<key>CFBundleVersion</key><integer>7</integer>"
                      "<key>CFBundleShortVersionString</key><string>2.0</string>");
    EXPECT_EQ(bundleVersion(bundle), "2.0");
    EXPECT_EQ(BundleLayout::read(bundle).version, "2.0");
    writeInfo(bundle, "<key>CFBundleVersion</key><true/>");
    EXPECT_EQ(bundleVersion(bundle), std::nullopt);
    test::writeFile(bundle / "Contents/Info.plist", "<plist><array><string>1.0</string></array></plist>");
    EXPECT_EQ(bundleVersion(bundle), std::nullopt);
    test::writeFile(bundle / "Contents/Info.plist", "not a plist");
    EXPECT_EQ(bundleVersion(bundle), std::nullopt);
    EXPECT_EQ(bundleVersion(dir / "Missing.vst3"), std::nullopt);
}

TEST(BundleLayout, CodelessBundleKeepsItsSignatureAsFiles) {
    test::TempDir dir;
    fs::path bundle = BundleBuilder(dir.path(), "Presets.bundle").executable(std::nullopt).build();
    BundleLayout layout = BundleLayout::read(bundle);
    EXPECT_TRUE(layout.codeless());
    EXPECT_EQ(layout.mainExecutable(), std::nullopt);
    EXPECT_EQ(layout.readCodelessComponent(0), std::nullopt);
    test::writeFile(bundle / "Contents/_CodeSignature/CodeDirectory", "cd");
    test::writeFile(bundle / "Contents/_CodeSignature/CodeSignature", "cms");
    EXPECT_EQ(layout.readCodelessComponent(0), (std::vector<uint8_t>{'c', 'd'}));
    EXPECT_EQ(layout.readCodelessComponent(0x10000)->size(), 3u);
    EXPECT_EQ(BundleLayout::codelessComponentName(0x1000), "CodeRequirements-1");
    EXPECT_EQ(BundleLayout::codelessComponentName(2), "CodeRequirements");
    EXPECT_EQ(BundleLayout::codelessComponentName(99), "");
    // A link in place of a component is never read through.
    fs::create_symlink("/etc/passwd", bundle / "Contents/_CodeSignature/CodeRequirements");
    EXPECT_THROW(layout.readCodelessComponent(2), SignatureDefect);
}

TEST(BundleLayout, RefusesUnsafeOrUnreadableInfo) {
    test::TempDir dir;
    fs::path bundle = dir / "Bad.clap";
    writeInfo(bundle, "<key>CFBundleExecutable</key><string>../../bin/sh</string>");
    EXPECT_EQ(layoutDefect(bundle),
              "the main executable name \"../../bin/sh\" in Contents/Info.plist is not a plain file name");
    writeInfo(bundle, "<key>CFBundleExecutable</key><string>MacOS/x</string>");
    EXPECT_EQ(layoutDefect(bundle),
              "the main executable name \"MacOS/x\" in Contents/Info.plist is not a plain file name");
    writeInfo(bundle, "<key>CFBundleExecutable</key><string>..</string>");
    EXPECT_NE(layoutDefect(bundle).find("is not a plain file name"), std::string::npos);
    writeInfo(bundle, "<key>CFBundleExecutable</key><integer>3</integer>");
    EXPECT_EQ(layoutDefect(bundle), "CFBundleExecutable in Contents/Info.plist is not text");
    test::writeFile(bundle / "Contents/Info.plist", "<plist><string>x</string></plist>");
    EXPECT_EQ(layoutDefect(bundle), "Contents/Info.plist is not a dictionary");
    fs::remove(bundle / "Contents/Info.plist");
    EXPECT_EQ(layoutDefect(bundle), "Contents/Info.plist is missing");
    fs::create_symlink("/etc/hostname", bundle / "Contents/Info.plist");
    EXPECT_EQ(layoutDefect(bundle), "Contents/Info.plist is a link");
}

TEST(BundleLayout, PartsAreNeverReadThroughLinks) {
    test::TempDir dir;
    fs::path bundle = BundleBuilder(dir.path(), "Echo.vst3").build();
    test::writeFile(dir / "elsewhere/CodeResources", "<plist><dict/></plist>");
    test::writeFile(dir / "elsewhere/Echo", "other code");
    BundleLayout layout = BundleLayout::read(bundle);
    EXPECT_EQ(defectOf([&] { layout.readCodeResources(); }), "Contents/_CodeSignature/CodeResources is missing");
    fs::create_symlink(dir / "elsewhere", bundle / "Contents/_CodeSignature");
    EXPECT_EQ(defectOf([&] { layout.readCodeResources(); }),
              "Contents/_CodeSignature/CodeResources lies behind a link");
    EXPECT_EQ(layout.unexpectedSignatureFiles({"CodeResources"}), std::vector<std::string>{"Contents/_CodeSignature"});
    fs::remove(bundle / "Contents/_CodeSignature");
    test::writeFile(bundle / "Contents/_CodeSignature", "a file, not a folder");
    EXPECT_EQ(defectOf([&] { layout.readCodeResources(); }), "Contents/_CodeSignature/CodeResources cannot be read");
    fs::remove(bundle / "Contents/_CodeSignature");
    EXPECT_TRUE(layout.openMainExecutable());
    fs::remove_all(bundle / "Contents/MacOS");
    fs::create_symlink(dir / "elsewhere", bundle / "Contents/MacOS");
    EXPECT_EQ(defectOf([&] { layout.openMainExecutable(); }), "Contents/MacOS/Echo lies behind a link");

    test::writeFile(bundle / "Contents/_CodeSignature/CodeResources", "seal");
    test::writeFile(bundle / "Contents/_CodeSignature/CodeDirectory", "cd");
    fs::create_symlink("CodeResources", bundle / "Contents/_CodeSignature/CodeSignature");
    EXPECT_EQ(
        layout.unexpectedSignatureFiles({"CodeResources", "CodeSignature"}),
        (std::vector<std::string>{"Contents/_CodeSignature/CodeDirectory", "Contents/_CodeSignature/CodeSignature"}));
}

TEST(BundleLayout, PropertyListSizeLimitHoldsAtItsEdge) {
    test::TempDir dir;
    fs::path bundle = dir / "Big.vst";
    test::writeFile(bundle / "Contents/Info.plist", "");
    // Sparse files: the limit is checked before anything is read or parsed.
    fs::resize_file(bundle / "Contents/Info.plist", PropertyList::maxFileBytes);
    EXPECT_EQ(layoutDefect(bundle), "Contents/Info.plist is not a readable property list");
    fs::resize_file(bundle / "Contents/Info.plist", PropertyList::maxFileBytes + 1);
    EXPECT_EQ(layoutDefect(bundle), "Contents/Info.plist is too large");
}

TEST(BundleLayout, FrameworkAndShallowShapes) {
    test::TempDir dir;
    fs::path framework = dir / "Core.framework";
    test::writeFile(framework / "Versions/A/Resources/Info.plist",
                    BundleBuilder::infoPlist({{"CFBundleExecutable", "Core"}}, true));
    fs::create_symlink("A", framework / "Versions/Current");
    BundleLayout layout = BundleLayout::read(framework);
    EXPECT_EQ(layout.shape, BundleLayout::Shape::framework);
    EXPECT_EQ(layout.mainExecutable(), framework / "Versions/A/Core");
    EXPECT_EQ(layout.shown("Resources/x"), "Versions/A/Resources/x");

    fs::path shallow = dir / "Flat.bundle";
    test::writeFile(shallow / "Info.plist", BundleBuilder::infoPlist({{"CFBundleExecutable", "Flat"}}, false));
    layout = BundleLayout::read(shallow);
    EXPECT_EQ(layout.shape, BundleLayout::Shape::shallow);
    EXPECT_EQ(layout.mainExecutable(), shallow / "Flat");
    EXPECT_EQ(layout.codeResources(), shallow / "_CodeSignature/CodeResources");
}

TEST(BundleLayout, VersionsCurrentLinkThatGoesAstrayIsNamedAsSuch) {
    test::TempDir dir;
    fs::path framework = BundleBuilder::framework(dir.path(), "Core.framework");
    // A complete framework elsewhere, so only the link's destination is wrong.
    BundleBuilder::framework(dir / "elsewhere", "Core.framework");
    const fs::path current = framework / "Versions/Current";
    Tampering::relink(current, "../../elsewhere/Core.framework/Versions/A");
    EXPECT_EQ(layoutDefect(framework), "Versions/Current link points outside the bundle");
    try {
        CodeVerifier().verify(framework);
        ADD_FAILURE() << "a framework whose current version lies outside it was accepted";
    } catch (const VerificationFailure& failure) {
        EXPECT_STREQ(failure.what(), "Core.framework failed signature validation (Versions/Current link points "
                                     "outside the bundle). It may have been modified. Install blocked.");
    }
    Tampering::relink(current, (dir / "elsewhere/Core.framework/Versions/A").string());
    EXPECT_EQ(layoutDefect(framework), "Versions/Current link points to an absolute path");
    // Inside the bundle, but not a version folder beside it.
    for (const char* target : {"A/Resources", "B", ".."}) {
        Tampering::relink(current, target);
        EXPECT_EQ(layoutDefect(framework), "Versions/Current link does not name a version folder") << target;
    }
    Tampering::relink(current, "A");
    EXPECT_EQ(BundleLayout::read(framework).contentsFolder, fs::path("Versions/A"));
}

TEST(PropertyList, BinaryKeyWithNulCharacterIsReadWithoutAborting) {
    // {u"\0": true}: libplist's binary reader accepts this UTF-16 key, but its
    // dictionary accessors abort on it unless the list is normalised first.
    std::vector<uint8_t> bytes = {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xD1, 1, 2, 0x61, 0, 0, 0x09, 8, 11, 14};
    std::vector<uint8_t> trailer(32, 0);
    trailer[6] = 1;   // offset size
    trailer[7] = 1;   // reference size
    trailer[15] = 3;  // objects
    trailer[31] = 15; // offset table
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    PropertyList list = PropertyList::parse(bytes, "Info.plist");
    int members = 0;
    PropertyList::forEach(list.root(), [&](const std::string&, plist_t value) {
        ++members;
        EXPECT_EQ(PropertyList::boolean(value), true);
    });
    EXPECT_EQ(members, 1);
}

namespace {

// A binary list of `levels` nested arrays; each refers to the next `refs` times.
std::vector<uint8_t> nestedBinaryArrays(int levels, int refs, bool cycle = false) {
    std::vector<uint8_t> bytes = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<uint16_t> offsets;
    for (int i = 0; i < levels; ++i) {
        offsets.push_back(static_cast<uint16_t>(bytes.size()));
        bool last = i == levels - 1;
        int count = last && !cycle ? 0 : refs;
        bytes.push_back(static_cast<uint8_t>(0xA0 | count));
        for (int r = 0; r < count; ++r)
            bytes.push_back(static_cast<uint8_t>(last ? 0 : i + 1));
    }
    size_t table = bytes.size();
    for (uint16_t offset : offsets)
        bytes.insert(bytes.end(), {static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset)});
    std::vector<uint8_t> trailer(32, 0);
    trailer[6] = 2; // offset size
    trailer[7] = 1; // reference size
    trailer[15] = static_cast<uint8_t>(levels);
    trailer[30] = static_cast<uint8_t>(table >> 8);
    trailer[31] = static_cast<uint8_t>(table);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return bytes;
}

std::vector<uint8_t> nestedXmlArrays(int elements) {
    std::string xml = "<plist>";
    for (int i = 1; i < elements; ++i)
        xml += "<array>";
    for (int i = 1; i < elements; ++i)
        xml += "</array>";
    xml += "</plist>";
    return {xml.begin(), xml.end()};
}

} // namespace

TEST(PropertyList, NestingAndExpansionLimitsHoldBeforeLibplistReads) {
    auto readable = [](const std::vector<uint8_t>& bytes) {
        return defectOf([&] { PropertyList::parse(bytes, "Info.plist"); }) == "no defect";
    };
    EXPECT_TRUE(readable(nestedXmlArrays(PropertyListShape::maxDepth)));
    EXPECT_FALSE(readable(nestedXmlArrays(PropertyListShape::maxDepth + 1)));
    EXPECT_FALSE(readable(nestedXmlArrays(200000))); // would overflow libplist's stack
    EXPECT_TRUE(readable(nestedBinaryArrays(PropertyListShape::maxDepth, 1)));
    EXPECT_FALSE(readable(nestedBinaryArrays(PropertyListShape::maxDepth + 1, 1)));
    // Each level referring twice to the next: 2^levels - 1 objects once expanded. The largest
    // list allowed is measured without libplist: reading it is quick, but under the address
    // sanitizer libplist's growing buffers make it take minutes.
    EXPECT_TRUE(PropertyListShape::binaryWithinLimits(nestedBinaryArrays(20, 2)));
    EXPECT_TRUE(readable(nestedBinaryArrays(12, 2)));
    EXPECT_FALSE(readable(nestedBinaryArrays(21, 2)));
    EXPECT_FALSE(readable(nestedBinaryArrays(60, 2))); // would never finish in libplist
    EXPECT_FALSE(readable(nestedBinaryArrays(3, 1, true)));
}
