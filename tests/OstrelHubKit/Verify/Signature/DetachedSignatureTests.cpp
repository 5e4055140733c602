#include "ApplePki.h"
#include "BundleTampering.h"
#include "CmsSigner.h"
#include "CodeSigner.h"
#include "MachOBuilder.h"
#include "TempDir.h"
#include "Verify/Signature/CmsSignature.h"
#include "Verify/Signature/CodeDirectory.h"
#include "Verify/Signature/CodeSignatureCheck.h"
#include "Verify/Signature/MappedFile.h"
#include "Verify/Signature/SignatureFailure.h"

#include <gtest/gtest.h>

namespace ostrel::test {
namespace {

using signature::Bytes;
using signature::Certificate;
using signature::HashType;

const fixtures::ApplePki& pki() {
    static const fixtures::ApplePki instance;
    return instance;
}

std::string failure(const std::function<void()>& check) {
    try {
        check();
        return "";
    } catch (const signature::SignatureFailure& f) {
        return f.detail();
    }
}

// What disk images use: one hash over arbitrary bytes, signed with a CMS.
TEST(DetachedSignature, SignsAndChecksACodeDirectoryOverArbitraryBytes) {
    Bytes content(10000, 0x5A);
    fixtures::CodeDirectoryLayout layout{"image", std::string("K7QZ2M4XNB"), HashType::sha256, 0, 0};
    layout.specialSlots = {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, Bytes(32, 7)};
    Bytes cdBytes = fixtures::buildCodeDirectory(layout, content);
    auto cd = signature::CodeDirectory::parse(cdBytes);
    EXPECT_EQ(cd.codeSlotCount(), 1u);
    EXPECT_EQ(cd.pageSize(), 0u);
    EXPECT_EQ(cd.specialSlot(6), Bytes(32, 7));
    EXPECT_FALSE(cd.specialSlot(1).has_value());
    EXPECT_FALSE(cd.firstMismatchedPage(content).has_value());
    Bytes altered = content;
    altered[9999] ^= 1;
    EXPECT_EQ(cd.firstMismatchedPage(altered), 0u);
    EXPECT_EQ(failure([&] { cd.firstMismatchedPage(std::span(content).first(9999)); }),
              "the code directory covers more than the code");

    signature::TrustSettings trust{pki().anchors()};
    auto hash = signature::codeDirectoryHash(HashType::sha256, cdBytes);
    Bytes cms = fixtures::signDetached(cdBytes, pki().application, {hash});
    auto evidence = signature::verifyCmsSignature(cms, cdBytes, {hash}, trust, signature::eku::codeSigning);
    EXPECT_EQ(evidence.chain.size(), 3u);
    EXPECT_EQ(evidence.chain.back(), pki().anchors().certificates().front());

    EXPECT_EQ(failure([&] { signature::verifyCmsSignature(cms, altered, {hash}, trust, signature::eku::codeSigning); }),
              "the signature does not match the code directory");
    // Without agility attributes only a single CodeDirectory is acceptable.
    Bytes plain = fixtures::signDetached(cdBytes, pki().application, {});
    EXPECT_EQ(
        failure([&] { signature::verifyCmsSignature(plain, cdBytes, {hash}, trust, signature::eku::codeSigning); }),
        "");
    auto second = signature::codeDirectoryHash(HashType::sha1, content);
    EXPECT_EQ(failure([&] {
                  signature::verifyCmsSignature(plain, cdBytes, {hash, second}, trust, signature::eku::codeSigning);
              }),
              "the signature does not list its code directories");
    // Installer identities sign package checksums; their usage is checked.
    Bytes checksum(20, 1);
    Bytes installerCms = fixtures::signDetached(checksum, pki().installer, {});
    EXPECT_EQ(failure([&] {
                  signature::verifyCmsSignature(installerCms, checksum, {}, trust,
                                                signature::eku::developerIdInstaller);
              }),
              "");
}

// Large code is read from its file in blocks; pages may straddle blocks, and
// page size 0 hashes everything as one page across all of them.
TEST(DetachedSignature, HashesCodeReadFromItsFileInBlocks) {
    TempDir dir("blocks");
    std::filesystem::path file = dir / "code";
    Bytes content(700'001);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i * 7919 >> 5);
    fixtures::writeBytes(file, content);
    fixtures::CodeDirectoryLayout pages{"pages", std::nullopt};
    fixtures::CodeDirectoryLayout whole{"whole", std::nullopt, HashType::sha256, 0, 0};
    Bytes pagesCd = fixtures::buildCodeDirectory(pages, content);
    Bytes wholeCd = fixtures::buildCodeDirectory(whole, content);
    auto check = [&](const Bytes& cd) {
        signature::MappedFile mapped(file);
        return signature::CodeDirectory::parse(cd).firstMismatchedPage(mapped.bytes(), mapped.blockReader());
    };
    EXPECT_EQ(check(pagesCd), std::nullopt);
    EXPECT_EQ(check(wholeCd), std::nullopt);
    // The first byte of the second block, one deep in the third, the very last.
    for (size_t offset : {size_t(262'144), size_t(600'000), content.size() - 1}) {
        fixtures::Tampering::flipByte(file, static_cast<int64_t>(offset));
        EXPECT_EQ(check(pagesCd), offset / 4096) << offset;
        EXPECT_EQ(check(wholeCd), 0u) << offset;
        fixtures::Tampering::flipByte(file, static_cast<int64_t>(offset));
    }
    // Cut short after it was mapped: refused, never read past its end.
    signature::MappedFile mapped(file);
    std::filesystem::resize_file(file, 300'000);
    auto cd = signature::CodeDirectory::parse(pagesCd);
    EXPECT_EQ(failure([&] { cd.firstMismatchedPage(mapped.bytes(), mapped.blockReader()); }), "unreadable");
    // A reader that brings in less than it was asked for is refused too.
    signature::BlockReader shortReader = [](std::span<const uint8_t> block) { return block.first(block.size() / 2); };
    EXPECT_EQ(failure([&] { cd.firstMismatchedPage(content, shortReader); }), "the code is unreadable");
}

// Code without a Mach-O keeps its signature as files; the same check applies.
TEST(DetachedSignature, ChecksSignatureComponentsKeptAsFiles) {
    signature::TrustSettings trust{pki().anchors()};
    std::string text = "<plist><dict/></plist>";
    Bytes plist(text.begin(), text.end());
    Bytes requirements =
        signature::encodeRequirementSet(fixtures::developerIdRequirement("com.ostrel.codeless", "K7QZ2M4XNB"));
    fixtures::CodeDirectoryLayout layout{"com.ostrel.codeless", std::string("K7QZ2M4XNB"), HashType::sha256, 0, 0};
    layout.specialSlots = {std::nullopt, signature::digest(HashType::sha256, requirements)};
    Bytes cd = fixtures::buildCodeDirectory(layout, plist);
    Bytes cms = fixtures::signDetached(cd, pki().application, {signature::codeDirectoryHash(HashType::sha256, cd)});
    signature::ByteWriter wrapper;
    wrapper.be32(signature::blobMagic::wrapper);
    wrapper.be32(static_cast<uint32_t>(8 + cms.size()));
    wrapper.append(cms);
    Bytes wrapped = wrapper.take();
    auto components = signature::SuperBlob::fromComponents({
        {signature::slot::codeDirectory, signature::blobMagic::codeDirectory, cd},
        {signature::slot::requirements, signature::blobMagic::requirementSet, requirements},
        {signature::slot::cmsSignature, signature::blobMagic::wrapper, wrapped},
    });
    auto checked = signature::checkCodeSignature(components, plist, "the Info.plist", trust);
    EXPECT_EQ(checked.teamID, "K7QZ2M4XNB");
    EXPECT_EQ(checked.designatedRequirement, fixtures::developerIdRequirement("com.ostrel.codeless", "K7QZ2M4XNB"));
    plist.back() = ' ';
    EXPECT_EQ(failure([&] { signature::checkCodeSignature(components, plist, "the Info.plist", trust); }),
              "code page 0 of the Info.plist does not match its hash");
    EXPECT_EQ(failure([&] {
                  signature::SuperBlob::fromComponents(
                      {{signature::slot::codeDirectory, signature::blobMagic::codeDirectory, cd},
                       {signature::slot::codeDirectory, signature::blobMagic::codeDirectory, cd}});
              }),
              "a signature component is malformed");
}

TEST(DetachedSignature, KnownIntermediatesCompleteAChainButNeverAnchorIt) {
    Bytes content(64, 2);
    fixtures::Identity bare = pki().application;
    bare.issuers.clear(); // the CMS carries the leaf only
    Bytes cms = fixtures::signDetached(content, bare, {});
    signature::TrustSettings trust{pki().anchors()};
    auto check = [&] {
        return failure([&] { signature::verifyCmsSignature(cms, content, {}, trust, signature::eku::codeSigning); });
    };
    EXPECT_EQ(check(), "the signature's certificate chain does not lead to a trusted root");
    trust.intermediates = {Certificate::retain(pki().developerIdCa.certificate.get())};
    EXPECT_EQ(check(), "");
    // An intermediate under another root does not help.
    trust.intermediates = {Certificate::retain(pki().untrustedCa.certificate.get())};
    EXPECT_EQ(check(), "the signature's certificate chain does not lead to a trusted root");
}

TEST(DetachedSignature, TimeStampsMustBeGenuineCoverThisSignatureAndNotComeFromTheFuture) {
    signature::TrustSettings trust{pki().anchors()};
    Bytes content(64, 1);
    fixtures::TimeStampAuthority tsa(pki().timeStampAuthority);
    fixtures::TimeStampAuthority rogue(pki().untrustedTimeStampAuthority);
    auto check = [&](const fixtures::TimeStampAuthority& authority, std::time_t at, bool lifted = false) {
        Bytes cms = fixtures::signDetached(content, pki().application, {}, fixtures::TimeStamp{&authority, at, lifted});
        return failure([&] { signature::verifyCmsSignature(cms, content, {}, trust, signature::eku::codeSigning); });
    };
    std::time_t now = std::time(nullptr);
    EXPECT_EQ(check(tsa, now - 100), "");
    EXPECT_EQ(check(tsa, now + 3600), "the signature's time stamp is in the future");
    EXPECT_EQ(check(rogue, now - 100), "the signature's time stamp is not valid");
    // A genuine token, but over another signature's value.
    EXPECT_EQ(check(tsa, now - 100, true), "the signature's time stamp belongs to another signature");
}

} // namespace
} // namespace ostrel::test
