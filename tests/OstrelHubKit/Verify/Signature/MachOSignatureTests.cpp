#include "BundleSigner.h"
#include "BundleTampering.h"
#include "SignedCodeFixture.h"
#include "Tampering.h"
#include "Verify/Signature/CodeDirectory.h"
#include "Verify/Signature/MachOFile.h"
#include "Verify/Signature/MachOSignature.h"
#include "Verify/Signature/MachOVerifier.h"
#include "Verify/Signature/SignatureFailure.h"
#include "Verify/Signature/SuperBlob.h"
#include "Verify/VerificationFailure.h"

#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

namespace ostrel::test {
namespace {

using signature::HashType;

class MachOSignature : public SignedCodeFixture {
protected:
    // The user's sentence for a check of `file` under Ostrel's policy, or "" when it passes.
    std::string refusal(const std::filesystem::path& file) {
        try {
            signature::verifyMachOCode(file, policy(), trust());
            return "";
        } catch (const VerificationFailure& failure) {
            return failure.what();
        }
    }

    std::string invalid(const std::string& name, const std::string& detail) {
        return VerificationFailure::invalidSignature(name, detail).what();
    }
};

TEST_F(MachOSignature, AcceptsDeveloperIdSignedThinAndFatFiles) {
    std::filesystem::path arm = dir_ / "arm";
    fixtures::buildThinMachO({"arm64"}, arm);
    fixtures::SignedCode made = fixtures::BundleSigner(developerId(pki().application)).sign(arm);
    ASSERT_EQ(made.cdhashes.size(), 1u);
    VerifiedCode code = signature::verifyMachOCode(arm, policy(), trust());
    EXPECT_EQ(code, (VerifiedCode{arm.string(),
                                  "com.ostrel.fixture",
                                  "K7QZ2M4XNB",
                                  std::nullopt,
                                  false,
                                  {{"arm64", made.cdhashes.front()}}}));

    auto intel = thin("intel", "x86_64", developerId(pki().application));
    EXPECT_EQ(refusal(intel), "");

    auto universal = fat("universal", developerId(pki().application), developerId(pki().application));
    // Every architecture's cdhash comes with the result, in file order.
    std::vector<VerifiedCode::Cdhash> cdhashes = signature::verifyMachOCode(universal, policy(), trust()).cdhashes;
    signature::CodeSignatureInfo info = signature::checkMachOSignature(universal, trust());
    EXPECT_EQ(cdhashes,
              (std::vector<VerifiedCode::Cdhash>{{"x86_64", info.slices[0].cdhash}, {"arm64", info.slices[1].cdhash}}));
    EXPECT_NE(info.slices[0].cdhash, info.slices[1].cdhash);
    ASSERT_EQ(info.slices.size(), 2u);
    EXPECT_EQ(info.slices[0].architecture, "x86_64");
    EXPECT_EQ(info.slices[1].architecture, "arm64");
    EXPECT_EQ(info.teamID, "K7QZ2M4XNB");
    EXPECT_EQ(info.slices[1].chain.size(), 3u);
    EXPECT_FALSE(info.slices[1].timestamp.has_value());
    ASSERT_TRUE(info.slices[1].designatedRequirement.has_value());
    EXPECT_TRUE(info.satisfies(*info.slices[1].designatedRequirement));
    EXPECT_EQ(refusal(universal), "");
}

TEST_F(MachOSignature, ChecksEveryCodeDirectoryOfSha1AndSha256Signatures) {
    auto options = developerId(pki().application);
    options.hashTypes = {HashType::sha1, HashType::sha256};
    options.berEncoding = true;
    options.codeDirectoryVersion = 0x20600; // newer layouts keep the fields we read
    options.infoPlist = "<plist/>";
    options.resources = "<resources/>";
    auto file = thin("dual", "arm64", options);
    auto info = signature::checkMachOSignature(file, trust());
    const auto& slice = info.slices.front();
    ASSERT_EQ(slice.codeDirectories.size(), 2u);
    EXPECT_EQ(slice.codeDirectories[0].type, HashType::sha1);
    // The cdhash comes from the strongest CodeDirectory.
    EXPECT_EQ(slice.cdhash, slice.codeDirectories[1].cdhash20);
    EXPECT_EQ(slice.infoPlistHashes.at(HashType::sha256),
              signature::digest(HashType::sha256, signature::Bytes{'<', 'p', 'l', 'i', 's', 't', '/', '>'}));
    EXPECT_EQ(slice.resourcesHashes.size(), 2u);
    signature::Bytes der = fixtures::signDetached(slice.cdhash, pki().application, {});
    EXPECT_EQ(fixtures::toIndefiniteLength(der)[1], 0x80); // the BER form checked above
    auto other = developerId(pki().application);
    other.hashTypes = {HashType::sha256Truncated, HashType::sha384};
    auto otherInfo = signature::checkMachOSignature(thin("truncated", "arm64", other), trust());
    EXPECT_EQ(otherInfo.slices.front().cdhash, otherInfo.slices.front().codeDirectories[1].cdhash20);
    EXPECT_EQ(otherInfo.slices.front().codeDirectories[0].fullDigest.size(), 32u); // SHA-256/20 lists the full digest
    // A bare file cannot have the resources it seals.
    EXPECT_EQ(refusal(file), invalid("dual", "the signature seals resources that are missing"));
}

TEST_F(MachOSignature, ChecksTheEmbeddedInfoPlistOfABareTool) {
    auto tool = [&](const std::string& name, const std::string& embedded, std::optional<std::string> sealed) {
        std::filesystem::path file = dir_ / name;
        fixtures::MachOOptions build{"arm64", "dylib"};
        build.infoPlist = embedded;
        fixtures::buildThinMachO(build, file);
        auto options = developerId(pki().application);
        options.infoPlist = std::move(sealed);
        fixtures::signMachO(file, options);
        return file;
    };
    std::string plist = "<plist><dict/></plist>";
    EXPECT_EQ(refusal(tool("tool", plist, plist)), "");
    EXPECT_EQ(refusal(tool("changed", plist, "<plist/>")),
              invalid("changed", "the embedded Info.plist of the arm64 slice does not match its hash"));
    EXPECT_EQ(refusal(tool("missing", "", plist)),
              invalid("missing", "the signature seals an Info.plist the arm64 slice does not have"));
    EXPECT_EQ(refusal(tool("unsealed", plist, std::nullopt)), ""); // unsealed: ignored, never trusted
}

TEST_F(MachOSignature, AcceptsAnExpiredLeafWhenTimeStampedWhileValid) {
    fixtures::TimeStampAuthority tsa(pki().timeStampAuthority);
    auto options = developerId(pki().expiredApplication);
    options.timeStamp = fixtures::TimeStamp{&tsa, std::time(nullptr) - 10 * fixtures::ApplePki::day};
    auto stamped = thin("stamped", "arm64", options);
    auto info = signature::checkMachOSignature(stamped, trust());
    EXPECT_EQ(info.slices.front().timestamp, options.timeStamp->at);
    EXPECT_EQ(refusal(stamped), "");

    options.timeStamp->at = std::time(nullptr) - 60;
    EXPECT_EQ(refusal(thin("late", "arm64", options)),
              invalid("late", "the signature was made after its certificate expired"));
    EXPECT_EQ(refusal(thin("unstamped", "arm64", developerId(pki().expiredApplication))),
              invalid("unstamped", "the signing certificate has expired"));
}

TEST_F(MachOSignature, RefusesUnsignedAndAdHocCode) {
    EXPECT_EQ(refusal(thin("plain", "arm64", std::nullopt)), "plain is not code signed. Install blocked.");
    EXPECT_EQ(refusal(thin("adhoc", "arm64", fixtures::SignOptions{})),
              "adhoc is ad-hoc signed, without an Ostrel Developer ID. Install blocked.");
    // lld's own linker signature is ad hoc too.
    std::filesystem::path linked = dir_ / "linked";
    fixtures::buildThinMachO({"arm64"}, linked);
    EXPECT_EQ(refusal(linked), "linked is ad-hoc signed, without an Ostrel Developer ID. Install blocked.");
    EXPECT_TRUE(signature::checkMachOSignature(linked, trust()).adhoc);
    EXPECT_EQ(refusal(dir_ / "absent"), invalid("absent", "not found"));
    std::filesystem::create_directory(dir_ / "folder");
    EXPECT_EQ(refusal(dir_ / "folder"), invalid("folder", "unreadable"));
}

TEST_F(MachOSignature, RefusesOtherPublishersThroughTheRequirement) {
    EXPECT_EQ(refusal(thin("other", "arm64", developerId(pki().otherApplication))),
              "other is signed by team Q9W8E7R6T5, which is not Ostrel. Install blocked.");
    // Before team identifiers the CodeDirectory carried none: the leaf still names the team.
    auto old = developerId(pki().otherApplication);
    old.codeDirectoryVersion = 0x20100;
    EXPECT_EQ(refusal(thin("old", "arm64", old)),
              "old is signed by team Q9W8E7R6T5, which is not Ostrel. Install blocked.");
}

TEST_F(MachOSignature, SaysWhenOstrelsOwnTeamSignedWithoutADeveloperIdCertificate) {
    // An Apple Development leaf: Apple's critical development markers, a
    // developer-relations intermediate, and Ostrel's team.
    EXPECT_EQ(refusal(thin("development", "arm64", developerId(pki().developmentApplication))),
              invalid("development", "the signing certificate is not a Developer ID Application certificate"));
    EXPECT_EQ(refusal(thin("unmarked-leaf", "arm64", developerId(pki().unmarkedApplication))),
              invalid("unmarked-leaf", "the signing certificate is not a Developer ID Application certificate"));
    EXPECT_EQ(refusal(thin("unmarked-ca", "arm64", developerId(pki().applicationUnderUnmarkedCa))),
              invalid("unmarked-ca", "the signing certificate was not issued by Apple's Developer ID authority"));
    // Ad-hoc code that names Ostrel's team still has no Developer ID at all.
    auto adhoc = fixtures::SignOptions{};
    adhoc.teamID = "K7QZ2M4XNB";
    EXPECT_EQ(refusal(thin("adhoc-team", "arm64", adhoc)),
              "adhoc-team is ad-hoc signed, without an Ostrel Developer ID. Install blocked.");
}

TEST_F(MachOSignature, RefusesATeamThatDiffersFromTheCertificate) {
    auto options = developerId(pki().otherApplication);
    options.teamID = "K7QZ2M4XNB";
    EXPECT_EQ(refusal(thin("claims", "arm64", options)),
              invalid("claims", "the signature's team identifier does not match its certificate"));
}

TEST_F(MachOSignature, KnowsApplesCriticalExtensionsButNoOthers) {
    // Developer ID leaves that may also sign kernel extensions carry .6.1.18, critical.
    EXPECT_EQ(refusal(thin("kext", "arm64", developerId(pki().kextApplication))), "");
    EXPECT_EQ(refusal(thin("strange", "arm64", developerId(pki().strangeApplication))),
              invalid("strange", "a certificate in the signature's chain has an unknown critical extension"));
    // 1.2.840.113635.100.60.1 only starts like Apple's arc 1.2.840.113635.100.6.
    EXPECT_EQ(refusal(thin("lookalike", "arm64", developerId(pki().lookalikeApplication))),
              invalid("lookalike", "a certificate in the signature's chain has an unknown critical extension"));
}

TEST_F(MachOSignature, RefusesCertificatesNotMeantForCodeSigning) {
    EXPECT_EQ(refusal(thin("installer", "arm64", developerId(pki().installer))),
              invalid("installer", "the signing certificate is not meant for this kind of signature"));
}

TEST_F(MachOSignature, RefusesChainsToRootsThatAreNotAnchors) {
    // The untrusted root travels inside the CMS; that must not make it trusted.
    EXPECT_EQ(refusal(thin("untrusted", "arm64", developerId(pki().untrustedApplication))),
              invalid("untrusted", "the signature's certificate chain does not lead to a trusted root"));
    // The same file is refused by Apple's real anchors.
    auto good = thin("good", "arm64", developerId(pki().application));
    EXPECT_THROW(signature::verifyMachOCode(good, policy(), signature::TrustSettings::apple()), VerificationFailure);
}

TEST_F(MachOSignature, RefusesAlteredCodePages) {
    auto file = thin("flipped", "arm64", developerId(pki().application));
    fixtures::Tampering::flipByte(file, static_cast<int64_t>(fixtures::tamper::codePageOffset(file, 0, 2)));
    EXPECT_EQ(refusal(file), invalid("flipped", "code page 2 of the arm64 slice does not match its hash"));

    auto universal = fat("fat-flipped", developerId(pki().application), developerId(pki().application));
    fixtures::Tampering::flipByte(universal, static_cast<int64_t>(fixtures::tamper::codePageOffset(universal, 0, 1)));
    EXPECT_EQ(refusal(universal), invalid("fat-flipped", "code page 1 of the x86_64 slice does not match its hash"));
}

TEST_F(MachOSignature, RefusesAlternateCodeDirectoriesThatDisagreeWithThePrimary) {
    // codesign's dual signatures: a SHA-1 primary and a SHA-256 alternate,
    // both listed in the CMS; only the alternate is changed.
    auto alternate = [&](const std::string& name, std::function<void(fixtures::CodeDirectoryLayout&)> change) {
        auto options = developerId(pki().application);
        options.hashTypes = {HashType::sha1, HashType::sha256};
        options.adjustCodeDirectory = [change](size_t index, fixtures::CodeDirectoryLayout& layout) {
            if (index == 1)
                change(layout);
        };
        return refusal(thin(name, "arm64", options));
    };
    EXPECT_EQ(alternate("same", [](fixtures::CodeDirectoryLayout&) {}), "");
    EXPECT_EQ(alternate("team", [](auto& cd) { cd.teamID = "Q9W8E7R6T5"; }),
              invalid("team", "the code directories of the arm64 slice disagree"));
    EXPECT_EQ(alternate("flags", [](auto& cd) { cd.flags |= signature::codeFlags::runtime; }),
              invalid("flags", "the code directories of the arm64 slice disagree"));
    EXPECT_EQ(alternate("identifier", [](auto& cd) { cd.identifier = "com.someone.else"; }),
              invalid("identifier", "the code directories of the arm64 slice disagree"));
    EXPECT_EQ(alternate("page", [](auto& cd) { cd.wrongPageHash = 2; }),
              invalid("page", "code page 2 of the arm64 slice does not match its hash"));
}

TEST_F(MachOSignature, RefusesACodeLimitThatLeavesTheEndOfTheCodeUnhashed) {
    // Consistent CodeDirectories, correctly signed, that stop short of the signature.
    for (uint64_t tail : {uint64_t(1), uint64_t(100), uint64_t(4096)}) {
        auto options = developerId(pki().application);
        options.unhashedTail = tail;
        std::string name = "short-" + std::to_string(tail);
        EXPECT_EQ(refusal(thin(name, "arm64", options)),
                  invalid(name, "the code directory of the arm64 slice does not cover all its code"));
    }
}

TEST_F(MachOSignature, RefusesStrippedOrAddedCodeDirectories) {
    auto stripped = developerId(pki().application);
    stripped.hashTypes = {HashType::sha1};
    stripped.attestedHashTypes = {{HashType::sha1, HashType::sha256}};
    EXPECT_EQ(refusal(thin("stripped", "arm64", stripped)),
              invalid("stripped", "the code directories do not match the signature's list"));

    auto added = developerId(pki().application);
    added.hashTypes = {HashType::sha256, HashType::sha384};
    added.attestedHashTypes = {{HashType::sha256}};
    EXPECT_EQ(refusal(thin("added", "arm64", added)),
              invalid("added", "the code directories do not match the signature's list"));
}

TEST_F(MachOSignature, RefusesUniversalFilesWithAnUnsignedOrForeignSlice) {
    auto ours = developerId(pki().application);
    EXPECT_EQ(refusal(fat("half", ours, std::nullopt)), invalid("half", "the x86_64 slice is not signed"));
    EXPECT_EQ(refusal(fat("mixed", ours, developerId(pki().otherApplication))),
              invalid("mixed", "the architectures of the file are signed by different teams"));
    EXPECT_EQ(refusal(fat("none", std::nullopt, std::nullopt)), "none is not code signed. Install blocked.");
}

TEST_F(MachOSignature, RefusesDataOutsideTheSignedSlices) {
    auto ours = developerId(pki().application);
    auto padded = fat("padded", ours, ours);
    fixtures::tamper::dirtyFatPadding(padded);
    EXPECT_EQ(refusal(padded), invalid("padded", "the universal file has data between its architectures"));

    auto trailing = fat("trailing", ours, ours);
    fixtures::tamper::appendBytes(trailing, 16);
    EXPECT_EQ(refusal(trailing), invalid("trailing", "the universal file has data after its last architecture"));

    auto thinTrailing = thin("thin-trailing", "arm64", ours);
    fixtures::tamper::appendBytes(thinTrailing, 16);
    EXPECT_EQ(refusal(thinTrailing), invalid("thin-trailing", "the arm64 slice has data after its signature"));
}

TEST_F(MachOSignature, IgnoresLeftoversOfAnEarlierSignatureInsideTheDeclaredArea) {
    // codesign signing again in place: the declared area keeps ~9 KB of an
    // earlier, larger signature after the SuperBlob.
    auto resigned = developerId(pki().application);
    resigned.leftoverBytes = 9 * 1024;
    auto file = thin("resigned", "arm64", resigned);
    signature::Bytes bytes = fixtures::readBytes(file);
    auto slice = signature::parseMachO(bytes).front();
    auto area = std::span(bytes).subspan(slice.signature->dataOffset, slice.signature->dataSize);
    auto leftovers = area.subspan(signature::SuperBlob::parse(area).length());
    ASSERT_GE(leftovers.size(), 9u * 1024);
    ASSERT_EQ(std::count(leftovers.begin(), leftovers.end(), 0), 0);
    EXPECT_EQ(refusal(file), "");
    EXPECT_EQ(refusal(fat("resigned-fat", resigned, resigned)), "");
    // Past the declared area nothing may follow.
    fixtures::tamper::appendBytes(file, 1);
    EXPECT_EQ(refusal(file), invalid("resigned", "the arm64 slice has data after its signature"));
}

TEST_F(MachOSignature, HonoursTheRevocationHook) {
    auto file = thin("revoked", "arm64", developerId(pki().application));
    auto settings = trust();
    auto denyList = std::make_shared<signature::DenyList>();
    denyList->teams.insert("K7QZ2M4XNB");
    settings.revocation = denyList;
    EXPECT_EQ(refusal(file), "");
    EXPECT_THROW(
        {
            try {
                signature::verifyMachOCode(file, policy(), settings);
            } catch (const VerificationFailure& failure) {
                EXPECT_EQ(failure,
                          VerificationFailure::invalidSignature("revoked", "the signing team has been revoked"));
                throw;
            }
        },
        VerificationFailure);
}

} // namespace
} // namespace ostrel::test
