#include "ApplePki.h"
#include "BundleBuilder.h"
#include "BundleTampering.h"
#include "DiskImageSigner.h"
#include "DiskImageWriter.h"
#include "NotaryTicketWriter.h"
#include "SignatureDefectText.h"
#include "TempDir.h"
#include "UdifImage.h"
#include "Verify/CodeVerifier.h"
#include "Verify/Signature/DiskImageSignature.h"
#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/SignatureDefect.h"
#include "Verify/Signature/XarArchive.h"
#include "Verify/VerificationFailure.h"
#include "XarWriter.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

using namespace ostrel;
using ostrel::test::defectOf;
using namespace ostrel::fixtures;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

void writeBytes(const fs::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

XarWriter samplePackage(Bytes* signedChecksum = nullptr) {
    XarWriter::Signing signing;
    signing.rsaSize = 256;
    signing.cmsSize = 300;
    signing.certificates = {bytesOf("leaf certificate"), bytesOf("intermediate!"), bytesOf("root")};
    signing.sign = [signedChecksum](const Bytes& checksum) {
        if (signedChecksum)
            *signedChecksum = checksum;
        return std::pair{Bytes(256, 0xA5), bytesOf("cms signature")};
    };
    return XarWriter()
        .file("Distribution", "<installer-gui-script/>")
        .file("echo.pkg/PackageInfo", "<pkg-info/>")
        .file("echo.pkg/Payload", std::string(5000, 'p'))
        .signing(signing);
}

Bytes cdhash(uint8_t fill) {
    return Bytes(20, fill);
}

} // namespace

TEST(XarArchive, ReadsHeaderTocSignaturesAndChecksums) {
    test::TempDir dir;
    for (auto kind : {XarWriter::Checksum::sha1, XarWriter::Checksum::sha256}) {
        Bytes signedChecksum;
        samplePackage(&signedChecksum).checksum(kind).write(dir / "a.pkg");
        XarArchive archive = XarArchive::open(dir / "a.pkg");
        bool sha1 = kind == XarWriter::Checksum::sha1;
        EXPECT_EQ(archive.header().checksum, sha1 ? XarHeader::Checksum::sha1 : XarHeader::Checksum::sha256);
        EXPECT_EQ(archive.toc().checksumStyle, sha1 ? "sha1" : "sha256");
        EXPECT_EQ(archive.toc().checksumSize, sha1 ? 20u : 32u);
        EXPECT_NO_THROW(archive.verifyTocChecksum());
        EXPECT_EQ(archive.storedTocChecksum(), signedChecksum);
        ASSERT_TRUE(archive.toc().signature && archive.toc().xSignature);
        const XarSignature& rsa = *archive.toc().signature;
        EXPECT_EQ(rsa.style, "RSA");
        EXPECT_EQ(rsa.offset, archive.toc().checksumSize);
        EXPECT_EQ(rsa.certificates,
                  (std::vector<Bytes>{bytesOf("leaf certificate"), bytesOf("intermediate!"), bytesOf("root")}));
        EXPECT_EQ(archive.signatureBytes(rsa), Bytes(256, 0xA5));
        Bytes cms = archive.signatureBytes(*archive.toc().xSignature);
        EXPECT_EQ(Bytes(cms.begin(), cms.begin() + 13), bytesOf("cms signature"));
        std::vector<std::string> paths;
        for (const auto& file : archive.toc().files)
            paths.push_back(file.path);
        EXPECT_EQ(paths,
                  (std::vector<std::string>{"Distribution", "echo.pkg", "echo.pkg/PackageInfo", "echo.pkg/Payload"}));
        EXPECT_EQ(archive.toc().files[3].data->length, 5000u);
        EXPECT_NO_THROW(archive.verifyFileChecksums());
    }
    // Some writers spell the style in capitals.
    samplePackage().styleSpelling("SHA1").write(dir / "caps.pkg");
    XarArchive caps = XarArchive::open(dir / "caps.pkg");
    EXPECT_EQ(caps.toc().checksumStyle, "SHA1");
    EXPECT_NO_THROW(caps.verifyTocChecksum());
    EXPECT_NO_THROW(caps.verifyFileChecksums());
}

TEST(XarArchive, TocSizeLimitHoldsAtItsEdge) {
    test::TempDir dir;
    XarWriter::Bytes bytes = XarWriter().file("a", "b").padTocTo(XarArchive::maxTocBytes).bytes();
    writeBytes(dir / "edge.pkg", bytes);
    EXPECT_EQ(XarArchive::open(dir / "edge.pkg").toc().files.size(), 1u);
    writeBytes(dir / "over.pkg", XarWriter().file("a", "b").padTocTo(XarArchive::maxTocBytes + 1).bytes());
    EXPECT_EQ(defectOf([&] { XarArchive::open(dir / "over.pkg"); }), "the package's table of contents is too large");
    // A header that understates the TOC never lets it grow past what it declared.
    writeBytes(dir / "bomb.pkg", XarWriter().file("a", "b").padTocTo(1 << 20).declareTocLength(300).bytes());
    EXPECT_EQ(defectOf([&] { XarArchive::open(dir / "bomb.pkg"); }), "the package's table of contents is damaged");
    EXPECT_EQ(defectOf([&] { XarArchive::parseFront(Bytes(bytes.begin(), bytes.begin() + 40)); }),
              "the package is cut short");
    // The stored (compressed) length has the same limit, checked before anything is read.
    auto claimingCompressed = [&](uint64_t length) {
        Bytes header(bytes.begin(), bytes.begin() + 28);
        for (int i = 0; i < 8; ++i)
            header[8 + static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (56 - 8 * i));
        return defectOf([&] { XarArchive::parseFront(header); });
    };
    EXPECT_EQ(claimingCompressed(XarArchive::maxTocBytes), "the package is cut short");
    EXPECT_EQ(claimingCompressed(XarArchive::maxTocBytes + 1), "the package's table of contents is too large");
}

TEST(XarArchive, CatchesChangedTocAndChangedPayload) {
    test::TempDir dir;
    XarWriter original = samplePackage();
    Bytes good = original.bytes();
    // The TOC of another package in front of this package's heap: its stored
    // checksum no longer matches.
    Bytes other = samplePackage().file("extra", "x").bytes();
    XarArchive::Front otherFront = XarArchive::parseFront(other);
    size_t otherTocEnd = 28 + otherFront.compressedToc.size();
    size_t goodTocEnd = 28 + XarArchive::parseFront(good).compressedToc.size();
    Bytes spliced(other.begin(), other.begin() + static_cast<long>(otherTocEnd));
    spliced.insert(spliced.end(), good.begin() + static_cast<long>(goodTocEnd), good.end());
    writeBytes(dir / "spliced.pkg", spliced);
    EXPECT_EQ(defectOf([&] { XarArchive::open(dir / "spliced.pkg").verifyTocChecksum(); }),
              "the package's table of contents does not match its checksum");

    writeBytes(dir / "payload.pkg", good);
    Tampering::flipByte(dir / "payload.pkg", static_cast<int64_t>(original.firstFileOffset()) + 1);
    XarArchive archive = XarArchive::open(dir / "payload.pkg");
    EXPECT_NO_THROW(archive.verifyTocChecksum());
    EXPECT_EQ(defectOf([&] { archive.verifyFileChecksums(); }),
              "Distribution in the package was modified after signing");

    writeBytes(dir / "short.pkg", good);
    Tampering::truncate(dir / "short.pkg", good.size() - 1);
    EXPECT_EQ(defectOf([&] { XarArchive::open(dir / "short.pkg").verifyFileChecksums(); }),
              "echo.pkg/Payload in the package lies outside the package");
}

TEST(XarArchive, RefusesHostileHeadersAndTocs) {
    Bytes header = XarWriter().file("a", "b").bytes();
    auto withByte = [&](size_t at, uint8_t value) {
        Bytes copy = header;
        copy[at] = value;
        return defectOf([&] { XarHeader::parse(copy); });
    };
    EXPECT_EQ(withByte(0, 'y'), "the package header is damaged");
    EXPECT_EQ(withByte(7, 2), "the package format version is not supported");
    EXPECT_EQ(withByte(27, 9), "the package's checksum kind is not supported");
    EXPECT_EQ(withByte(5, 20), "the package header is damaged");
    // The longer header form names its checksum.
    Bytes named = {'x', 'a', 'r', '!', 0, 36, 0, 1};
    named.resize(24, 0);
    named.insert(named.end(), {0, 0, 0, 3, 's', 'h', 'a', '5', '1', '2', 0, 0});
    EXPECT_EQ(XarHeader::parse(named).checksum, XarHeader::Checksum::sha512);

    EXPECT_EQ(defectOf([] {
                  XarToc::parse("<!DOCTYPE xar [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><xar><toc>&e;</toc></xar>");
              }),
              "the package's table of contents declares entities");
    EXPECT_EQ(defectOf([] { XarToc::parse("<xar><toc><file><data><offset>-1</offset></data></file></toc></xar>"); }),
              "the package's table of contents is damaged");
    EXPECT_EQ(defectOf([] { XarToc::parse("<xar><toc>"); }), "the package's table of contents is damaged");
    auto nested = [](int depth) {
        std::string xml;
        for (int i = 0; i < depth; ++i)
            xml += "<e>";
        for (int i = 0; i < depth; ++i)
            xml += "</e>";
        return xml;
    };
    EXPECT_NO_THROW(XarToc::parse(nested(XarToc::maxDepth)));
    EXPECT_EQ(defectOf([&] { XarToc::parse(nested(XarToc::maxDepth + 1)); }),
              "the package's table of contents is nested too deeply");
}

TEST(XarToc, KeepsDataAndExtendedAttributesApart) {
    XarToc toc = XarToc::parse(
        "<xar><toc><checksum style=\"sha1\"><offset>0</offset><size>20</size></checksum>"
        "<file id=\"1\"><ea><name>com.apple.x</name><offset>70</offset><length>3</length>"
        "<archived-checksum style=\"sha1\">00112233445566778899aabbccddeeff00112233</archived-checksum></ea>"
        "<data><offset>40</offset><length>30</length><size>90</size><encoding style=\"application/x-gzip\"/>"
        "<archived-checksum style=\"sha256\">" +
        std::string(64, 'a') +
        "</archived-checksum></data><name>dir</name><type>directory</type>"
        "<file id=\"2\"><name>leaf</name><type>file</type></file></file></toc></xar>");
    ASSERT_EQ(toc.files.size(), 2u);
    EXPECT_EQ(toc.files[1].path, "dir/leaf");
    const XarFileData& data = *toc.files[0].data;
    EXPECT_EQ(data.offset, 40u);
    EXPECT_EQ(data.length, 30u);
    EXPECT_EQ(data.size, 90u);
    EXPECT_EQ(data.encoding, "application/x-gzip");
    EXPECT_EQ(data.archivedStyle, "sha256");
    EXPECT_EQ(data.archivedChecksum, Bytes(32, 0xAA));
    ASSERT_EQ(toc.files[0].extendedAttributes.size(), 1u);
    EXPECT_EQ(toc.files[0].extendedAttributes[0].offset, 70u);
    EXPECT_EQ(toc.files[0].extendedAttributes[0].archivedChecksum.size(), 20u);
}

TEST(NotaryTicket, FoundWhereStaplingPutsIt) {
    test::TempDir dir;
    Bytes ticket = NotaryTicketWriter::ticket({cdhash(1), cdhash(2)});

    fs::path bundle = BundleBuilder(dir.path(), "Echo.component").build();
    BundleLayout layout = BundleLayout::read(bundle);
    EXPECT_EQ(NotaryTicket::fromBundle(layout), std::nullopt);
    NotaryTicketWriter::stapleToBundle(bundle, ticket);
    auto stapled = NotaryTicket::fromBundle(layout);
    ASSERT_TRUE(stapled);
    EXPECT_TRUE(stapled->lists(cdhash(2)));
    EXPECT_FALSE(stapled->lists(cdhash(3)));

    samplePackage().write(dir / "echo.pkg");
    XarArchive plain = XarArchive::open(dir / "echo.pkg");
    EXPECT_EQ(NotaryTicket::fromPackage(plain.fd(), plain.fileSize()), std::nullopt);
    NotaryTicketWriter::stapleToPackage(dir / "echo.pkg", ticket);
    XarArchive archive = XarArchive::open(dir / "echo.pkg");
    EXPECT_NO_THROW(archive.verifyFileChecksums());
    EXPECT_EQ(NotaryTicket::fromPackage(archive.fd(), archive.fileSize()), NotaryTicket{ticket});
    // In a disk image's slot: wrapped as a blob, or bare.
    EXPECT_EQ(NotaryTicket::fromImageSlot(DiskImageWriter::wrapper(ticket)), NotaryTicket{ticket});
    EXPECT_EQ(NotaryTicket::fromImageSlot(ticket), NotaryTicket{ticket});
    Bytes badWrapper = DiskImageWriter::wrapper(ticket);
    badWrapper[7] ^= 1;
    EXPECT_EQ(defectOf([&] { NotaryTicket::fromImageSlot(badWrapper); }), "the disk image's stapled ticket is damaged");

    Tampering::flipByte(dir / "echo.pkg", -10); // the closing trailer's type
    XarArchive damaged = XarArchive::open(dir / "echo.pkg");
    EXPECT_EQ(defectOf([&] { NotaryTicket::fromPackage(damaged.fd(), damaged.fileSize()); }),
              "the package's stapled ticket is damaged");
}

TEST(NotaryTicket, SizeLimitsHoldAtTheirEdges) {
    test::TempDir dir;
    fs::path bundle = BundleBuilder(dir.path(), "Echo.clap").build();
    BundleLayout layout = BundleLayout::read(bundle);
    NotaryTicketWriter::stapleToBundle(bundle, {});
    fs::resize_file(bundle / "Contents/CodeResources", NotaryTicket::maxBytes);
    EXPECT_EQ(NotaryTicket::fromBundle(layout)->bytes.size(), NotaryTicket::maxBytes);
    fs::resize_file(bundle / "Contents/CodeResources", NotaryTicket::maxBytes + 1);
    EXPECT_EQ(defectOf([&] { NotaryTicket::fromBundle(layout); }), "Contents/CodeResources is too large");

    test::writeFile(bundle / "Contents/_CodeSignature/CodeSignature", "");
    fs::resize_file(bundle / "Contents/_CodeSignature/CodeSignature", BundleLayout::maxComponentBytes);
    EXPECT_EQ(layout.readCodelessComponent(0x10000)->size(), BundleLayout::maxComponentBytes);
    fs::resize_file(bundle / "Contents/_CodeSignature/CodeSignature", BundleLayout::maxComponentBytes + 1);
    EXPECT_EQ(defectOf([&] { layout.readCodelessComponent(0x10000); }),
              "Contents/_CodeSignature/CodeSignature is too large");

    auto packageWithSignature = [&](size_t size) {
        XarWriter::Signing signing;
        signing.rsaSize = size;
        signing.sign = [size](const Bytes&) { return std::pair{Bytes(size, 1), Bytes{}}; };
        XarWriter().file("a", "b").signing(signing).write(dir / "big.pkg");
        XarArchive archive = XarArchive::open(dir / "big.pkg");
        return defectOf([&] { archive.signatureBytes(*archive.toc().signature); });
    };
    EXPECT_EQ(packageWithSignature(XarArchive::maxSignatureBytes), "no defect");
    EXPECT_EQ(packageWithSignature(XarArchive::maxSignatureBytes + 1), "the package's signature is too large");
}

TEST(DiskImageSignature, ReadsAFlushSignatureAndHashesTheImage) {
    test::TempDir dir;
    Bytes image(10000);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 7);
    Bytes cd = {0xFA, 0xDE, 0x0C, 0x02, 0, 0, 0, 12, 1, 2, 3, 4};
    Bytes ticket = NotaryTicketWriter::ticket({cdhash(9)});
    DiskImageWriter(image)
        .blob(0, cd)
        .blob(0x10000, DiskImageWriter::wrapper(bytesOf("cms")))
        .blob(0x10002, DiskImageWriter::wrapper(ticket))
        .write(dir / "a.dmg");
    auto signature = DiskImageSignature::read(dir / "a.dmg");
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->signatureOffset(), image.size());
    ASSERT_TRUE(signature->blob(0));
    EXPECT_EQ(Bytes(signature->blob(0)->begin(), signature->blob(0)->end()), cd);
    EXPECT_EQ(signature->blob(0x10001), std::nullopt);
    EXPECT_TRUE(signature->stapledTicket()->lists(cdhash(9)));

    auto sha256 = [](std::span<const uint8_t> b) { return FileBytes::digest(b, EVP_sha256()); };
    auto whole = signature->codeSlotDigests(image.size(), 0, EVP_sha256());
    EXPECT_EQ(whole, std::vector<Bytes>{sha256(image)});
    auto pages = signature->codeSlotDigests(image.size(), 12, EVP_sha256());
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[2], sha256(std::span(image).subspan(8192))); // last page unpadded
    EXPECT_THROW(signature->codeSlotDigests(image.size() - 1, 0, EVP_sha256()), SignatureDefect);

    Bytes file = bytesOf(test::readFile(dir / "a.dmg"));
    Bytes koly(file.end() - 512, file.end());
    std::fill(koly.begin() + 304, koly.begin() + 312, 0);
    EXPECT_EQ(signature->repSpecificDigest(EVP_sha256()), sha256(koly));
    EXPECT_EQ(DiskImageSignature::locate(file)->codeSignatureOffset, image.size());

    DiskImageWriter(image).write(dir / "unsigned.dmg");
    EXPECT_EQ(DiskImageSignature::read(dir / "unsigned.dmg"), std::nullopt);
}

TEST(DiskImageSignature, RefusesMisplacedSignaturesAndDamagedTrailers) {
    test::TempDir dir;
    Bytes image(3000, 0x11);
    DiskImageWriter(image).blob(0, Bytes(16, 0)).gapBeforeTrailer({0}).write(dir / "gap.dmg");
    EXPECT_EQ(defectOf([&] { DiskImageSignature::read(dir / "gap.dmg"); }),
              "the disk image's signature does not end at its trailer");

    DiskImageWriter(image).blob(0, Bytes(16, 0)).write(dir / "cut.dmg");
    Tampering::truncate(dir / "cut.dmg", fs::file_size(dir / "cut.dmg") - 1);
    EXPECT_EQ(defectOf([&] { DiskImageSignature::read(dir / "cut.dmg"); }),
              "the disk image's trailer is missing or damaged");
    test::writeFile(dir / "tiny.dmg", std::string(511, 'k'));
    EXPECT_EQ(defectOf([&] { DiskImageSignature::read(dir / "tiny.dmg"); }),
              "the disk image's trailer is missing or damaged");

    DiskImageWriter(image).blob(0, Bytes(16, 0)).write(dir / "magic.dmg");
    Tampering::flipByte(dir / "magic.dmg", 3000); // the SuperBlob's magic
    EXPECT_EQ(defectOf([&] { DiskImageSignature::read(dir / "magic.dmg"); }), "the disk image's signature is damaged");

    Bytes huge(DiskImageSignature::maxSignatureBytes + 1 - 20, 0);
    DiskImageWriter(image).blob(0, huge).write(dir / "huge.dmg");
    EXPECT_EQ(defectOf([&] { DiskImageSignature::read(dir / "huge.dmg"); }), "the disk image's signature is too large");
    DiskImageWriter(image).blob(0, Bytes(huge.size() - 1, 0)).write(dir / "edge.dmg");
    EXPECT_TRUE(DiskImageSignature::read(dir / "edge.dmg"));
}

TEST(DiskImageSignature, TrailerMustMatchItsSealedHash) {
    test::TempDir dir;
    const ApplePki pki;
    test::writeFile(dir / "volume/Read Me.txt", "hello");
    SignOptions options;
    options.identifier = "com.ostrel.image";
    options.identity = pki.application;
    const fs::path image = dir / "Echo.dmg";
    writeSignedImage(UdifImage::fromFolder(dir / "volume"), options, image);
    const CodeVerifier verifier(SignaturePolicy::ostrel(), signature::TrustSettings{pki.anchors()});
    EXPECT_TRUE(verifier.verifyContainerSignature(image));
    // The trailer lies after the signature, outside the signed bytes: only its
    // hash in the rep-specific slot covers it. Point the image at another
    // block table, or give it another size.
    const std::vector<std::pair<const char*, int64_t>> fields = {{"property list offset", 216 + 7},
                                                                 {"sector count", 492 + 7}};
    for (const auto& [field, at] : fields) {
        Tampering::flipByte(image, at - static_cast<int64_t>(DiskImageTrailer::size));
        try {
            verifier.verifyContainerSignature(image);
            ADD_FAILURE() << "a changed " << field << " in the trailer was accepted";
        } catch (const VerificationFailure& failure) {
            EXPECT_EQ(failure, VerificationFailure::wrongPublisher("Echo.dmg", std::nullopt)) << field;
        }
        Tampering::flipByte(image, at - static_cast<int64_t>(DiskImageTrailer::size));
        EXPECT_TRUE(verifier.verifyContainerSignature(image)) << field;
    }
}
