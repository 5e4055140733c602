#include "ApplePki.h"
#include "FixtureFiles.h"
#include "Install/Extractor.h"
#include "Install/InstallError.h"
#include "PackageSigner.h"
#include "ReleasePackage.h"
#include "TempDir.h"
#include "Verify/Signature/PackageSignature.h"
#include "Verify/Signature/XarArchive.h"
#include "XarWriter.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include <zlib.h>

using namespace ostrel;
using namespace ostrel::fixtures;
using signature::checkPackageSignature;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

const ApplePki& pki() {
    static const ApplePki instance;
    return instance;
}

signature::TrustSettings trust() {
    return signature::TrustSettings{pki().anchors()};
}

Bytes readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void putBigEndian(Bytes& bytes, size_t at, uint64_t value) {
    for (int i = 7; i >= 0; --i, value >>= 8)
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value);
}

struct PackageTest : ::testing::Test {
    test::TempDir dir;

    fs::path bundle(const std::string& name) {
        writeText(dir / "bundles" / name / "Contents/Info.plist", "<plist>" + name + "</plist>");
        writeText(dir / "bundles" / name / "Contents/MacOS" / fs::path(name).stem(), std::string(3000, 'x'));
        return dir / "bundles" / name;
    }

    fs::path package(const std::string& name, ReleasePackage release) {
        if (release_.empty())
            release_ = bundle("Echo.app");
        release.component({release_});
        release.write(dir / name, dir / ("scratch-" + name));
        return dir / name;
    }

    fs::path signedBy(const std::string& name, const Identity& identity,
                      XarWriter::Checksum checksum = XarWriter::Checksum::sha1) {
        return package(name, ReleasePackage().signedBy(identity, checksum));
    }

    fs::path release_;
};

TEST_F(PackageTest, InstallerSignedPackagesAreValidForDistributionWithEitherChecksum) {
    for (auto checksum : {XarWriter::Checksum::sha1, XarWriter::Checksum::sha256}) {
        const auto facts = checkPackageSignature(signedBy("signed.pkg", pki().installer, checksum), trust());
        EXPECT_TRUE(facts.isSigned);
        EXPECT_TRUE(facts.valid) << facts.problem;
        EXPECT_TRUE(facts.issuedForDistribution);
        EXPECT_EQ(facts.leaf, "Developer ID Installer: Ostrel (K7QZ2M4XNB)");
    }
    const auto unsignedFacts = checkPackageSignature(package("plain.pkg", ReleasePackage()), trust());
    EXPECT_FALSE(unsignedFacts.isSigned);
    EXPECT_FALSE(unsignedFacts.valid);
    EXPECT_FALSE(unsignedFacts.issuedForDistribution);
}

TEST_F(PackageTest, LeafDecidesTeamAndDistribution) {
    const auto other = checkPackageSignature(signedBy("other.pkg", pki().otherInstaller), trust());
    EXPECT_TRUE(other.valid) << other.problem;
    EXPECT_TRUE(other.issuedForDistribution);
    EXPECT_EQ(other.leaf, "Developer ID Installer: Ostrel (Q9W8E7R6T5)");

    const auto application = checkPackageSignature(signedBy("app.pkg", pki().application), trust());
    EXPECT_TRUE(application.isSigned);
    EXPECT_FALSE(application.valid);
    EXPECT_FALSE(application.issuedForDistribution);
    EXPECT_EQ(application.leaf, "Developer ID Application: Ostrel (K7QZ2M4XNB)");
    EXPECT_EQ(application.problem, "the signing certificate is not meant for this kind of signature");
}

TEST_F(PackageTest, SignaturesMustShareTheirLeafAndReachAnInjectedAnchor) {
    const fs::path mixedPackage = dir / "mixed.pkg";
    {
        // Same archive, but the CMS half is made by another team's installer leaf.
        XarWriter writer = XarWriter().file("Distribution", "<installer-gui-script/>");
        writer.signing(packageSigning(pki().installer, pki().otherInstaller)).write(mixedPackage);
    }
    const auto facts = checkPackageSignature(mixedPackage, trust());
    EXPECT_TRUE(facts.isSigned);
    EXPECT_FALSE(facts.valid);
    EXPECT_EQ(facts.problem, "the package's RSA and CMS signatures are by different certificates");

    XarWriter::Signing forged = packageSigning(pki().installer);
    forged.sign = [inner = forged.sign](const Bytes& checksum) {
        auto signatures = inner(checksum);
        signatures.first[10] ^= 0x01;
        return signatures;
    };
    XarWriter().file("Distribution", "<installer-gui-script/>").signing(forged).write(dir / "forged.pkg");
    EXPECT_EQ(checkPackageSignature(dir / "forged.pkg", trust()).problem,
              "the package's RSA signature does not match its table of contents");

    // The package carries its own root; only the injected anchors count.
    const auto untrusted = checkPackageSignature(signedBy("untrusted.pkg", pki().untrustedApplication), trust());
    EXPECT_FALSE(untrusted.valid);
    EXPECT_FALSE(untrusted.issuedForDistribution);
    EXPECT_EQ(untrusted.problem, "the signature's certificate chain does not lead to a trusted root");

    signature::TrustSettings noAnchors{signature::TrustAnchors({})};
    const auto anchorless = checkPackageSignature(signedBy("signed.pkg", pki().installer), noAnchors);
    EXPECT_FALSE(anchorless.valid);
    EXPECT_EQ(anchorless.problem, "the signature's certificate chain does not lead to a trusted root");
}

TEST_F(PackageTest, ChangedTocOrPayloadBytesInvalidateTheSignature) {
    const fs::path good = signedBy("good.pkg", pki().installer);
    const Bytes original = readBytes(good);
    const XarArchive archive = XarArchive::open(good);

    // Rename a member in the TOC and re-compress it honestly: only the checksum can tell.
    std::string xml(archive.compressedToc().size() * 20, '\0');
    uLongf xmlSize = xml.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(xml.data()), &xmlSize, archive.compressedToc().data(),
                         archive.compressedToc().size()),
              Z_OK);
    xml.resize(xmlSize);
    const auto at = xml.find("<name>Echo.pkg</name>");
    ASSERT_NE(at, std::string::npos);
    xml.replace(at, 21, "<name>Ecko.pkg</name>");
    Bytes toc(compressBound(xml.size()));
    uLongf tocSize = toc.size();
    ASSERT_EQ(compress(toc.data(), &tocSize, reinterpret_cast<const Bytef*>(xml.data()), xml.size()), Z_OK);
    toc.resize(tocSize);
    Bytes renamed(original.begin(), original.begin() + 28);
    putBigEndian(renamed, 8, toc.size());
    renamed.insert(renamed.end(), toc.begin(), toc.end());
    renamed.insert(renamed.end(), original.begin() + static_cast<long>(archive.heapStart()), original.end());
    writeBytes(dir / "renamed.pkg", renamed);
    const auto renamedFacts = checkPackageSignature(dir / "renamed.pkg", trust());
    EXPECT_FALSE(renamedFacts.valid);
    EXPECT_EQ(renamedFacts.problem, "the package's table of contents does not match its checksum");

    const auto& files = archive.toc().files;
    const auto payload =
        std::find_if(files.begin(), files.end(), [](const XarFile& f) { return f.path == "Echo.pkg/Payload"; });
    ASSERT_NE(payload, files.end());
    Bytes changed = original;
    changed[archive.heapStart() + payload->data->offset + payload->data->length / 2] ^= 0x01;
    writeBytes(dir / "changed.pkg", changed);
    const auto changedFacts = checkPackageSignature(dir / "changed.pkg", trust());
    EXPECT_TRUE(changedFacts.isSigned);
    EXPECT_FALSE(changedFacts.valid);
    EXPECT_EQ(changedFacts.problem, "Echo.pkg/Payload in the package was modified after signing");
}

TEST_F(PackageTest, ExtendedAttributesAndWeakFileChecksumsDoNotPass) {
    const auto signedPackage = [&](const std::string& name, XarWriter writer) {
        writer.file("Distribution", "<installer-gui-script/>")
            .file("Echo.pkg/Payload", std::string(2000, 'p'))
            .signing(packageSigning(pki().installer))
            .write(dir / name);
        return dir / name;
    };
    // An extended attribute's bytes lie in the heap like a file's, with their own checksum.
    const fs::path withAttribute =
        signedPackage("attribute.pkg",
                      XarWriter().extendedAttribute("Echo.pkg/Payload", "com.apple.FinderInfo", std::string(32, 'f')));
    const auto intact = checkPackageSignature(withAttribute, trust());
    EXPECT_TRUE(intact.valid) << intact.problem;
    const XarArchive archive = XarArchive::open(withAttribute);
    const auto& files = archive.toc().files;
    const auto payload =
        std::find_if(files.begin(), files.end(), [](const XarFile& f) { return f.path == "Echo.pkg/Payload"; });
    ASSERT_NE(payload, files.end());
    ASSERT_EQ(payload->extendedAttributes.size(), 1u);
    Bytes changed = readBytes(withAttribute);
    changed[archive.heapStart() + payload->extendedAttributes[0].offset + 5] ^= 0x01;
    writeBytes(dir / "changed-attribute.pkg", changed);
    const auto changedFacts = checkPackageSignature(dir / "changed-attribute.pkg", trust());
    EXPECT_FALSE(changedFacts.valid);
    EXPECT_EQ(changedFacts.problem, "Echo.pkg/Payload (extended attribute) in the package was modified after signing");

    // MD5 checksums of the stored bytes prove nothing, even under a valid signature.
    const auto md5 = checkPackageSignature(signedPackage("md5.pkg", XarWriter().fileChecksumStyle("md5")), trust());
    EXPECT_TRUE(md5.isSigned);
    EXPECT_FALSE(md5.valid);
    EXPECT_EQ(md5.problem, "Distribution in the package has no usable checksum");
}

TEST_F(PackageTest, DamagedPackagesAreRefusedWithAReason) {
    const Bytes original = readBytes(signedBy("good.pkg", pki().installer));
    const std::vector<std::pair<std::string, Bytes>> damaged = {
        {"empty", {}},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o'}},
        {"cut", Bytes(original.begin(), original.begin() + static_cast<long>(original.size() / 2))},
        {"header", Bytes(original.begin(), original.begin() + 40)},
    };
    for (const auto& [name, bytes] : damaged) {
        writeBytes(dir / name, bytes);
        const auto facts = checkPackageSignature(dir / name, trust());
        EXPECT_FALSE(facts.valid) << name;
        EXPECT_FALSE(facts.problem.empty()) << name;
    }
    EXPECT_FALSE(checkPackageSignature(dir / "missing.pkg", trust()).problem.empty());
}

TEST_F(PackageTest, ReleasePackageExpandsIntoItsBundles) {
    const fs::path echo = bundle("Echo.app");
    const fs::path reverb = bundle("Reverb.component");
    const fs::path package = dir / "release.pkg";
    ReleasePackage()
        .component({echo})
        .component({reverb, "/Library/Audio/Plug-Ins/Components", "#!/bin/sh\nexit 0\n"})
        .signedBy(pki().installer)
        .write(package, dir / "scratch");
    EXPECT_TRUE(checkPackageSignature(package, trust()).valid);

    const auto result = Extractor().expandPackage(package, dir / "work", dir / "work/bundles");
    ASSERT_EQ(result.bundles.size(), 2u);
    EXPECT_EQ(result.bundles[0].name(), "Echo.app");
    EXPECT_EQ(result.bundles[1].name(), "Reverb.component");
    EXPECT_EQ(test::readFile(result.bundles[1].url / "Contents/Info.plist"), "<plist>Reverb.component</plist>");
    EXPECT_EQ(result.notes,
              std::vector<std::string>{"Skipped the installer scripts in Reverb.pkg; the hub installs files only."});
}

TEST_F(PackageTest, ReleasePackageCanLieAboutItsSizeOrCarryAnEscapingLink) {
    Extractor extractor;
    extractor.maxExpandedBytes = 2'000;
    const auto refusal = [&](const fs::path& package) {
        try {
            extractor.expandPackage(package, dir / ("work-" + package.filename().string()), dir / "staged");
        } catch (const InstallError& error) {
            return std::string(error.what());
        }
        return std::string("(nothing thrown)");
    };
    const std::string liar = refusal(package("liar.pkg", ReleasePackage().declareInstallKBytes(1)));
    EXPECT_NE(liar.find("over the limit"), std::string::npos) << liar;
    extractor.maxExpandedBytes = 4'294'967'296;
    EXPECT_EQ(refusal(package("huge.pkg", ReleasePackage().declareInstallKBytes(5'000'000))),
              "The download expands to 5.12 GB, over the limit.");
    EXPECT_EQ(refusal(package("link.pkg", ReleasePackage().payloadLink("passwd", "/etc/passwd"))),
              "The download was refused: passwd links outside the archive.");
}

} // namespace
