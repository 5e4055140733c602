#include "ApplePki.h"
#include "TempDir.h"
#include "Util/OpenSslPtr.h"
#include "Verify/Signature/HashType.h"
#include "Verify/Signature/RevocationCheck.h"
#include "Verify/Signature/TrustAnchors.h"
#include "Verify/Signature/TrustSettings.h"
#include "Verify/SignaturePolicy.h"
#include "Verify/VerificationFailure.h"

#include <fstream>

#include <gtest/gtest.h>

#include <openssl/pem.h>

namespace ostrel::test {
namespace {

TEST(TrustAnchors, AppleRootsAreTheThreePublishedCertificates) {
    auto roots = signature::TrustAnchors::apple().certificates();
    ASSERT_EQ(roots.size(), 3u);
    std::vector<std::string> fingerprints;
    std::vector<std::string> names;
    for (const auto& root : roots) {
        fingerprints.push_back(signature::toHex(root.sha256()));
        names.push_back(root.subjectValues("CN").at(0));
    }
    EXPECT_EQ(fingerprints, (std::vector<std::string>{
                                "b0b1730ecbc7ff4505142c49f1295e6eda6bcaed7e2c68c5be91b5a11001f024",
                                "c2b9b042dd57830e7d117dac55ac8ae19407d38e41d88f3215bc3a890444a050",
                                "63343abfb89a6a03ebb57e9b3f5fa7be7c4f5c756f3017b3a8c488c3653e9179",
                            }));
    EXPECT_EQ(names, (std::vector<std::string>{"Apple Root CA", "Apple Root CA - G2", "Apple Root CA - G3"}));
}

TEST(TrustAnchors, APemFileGivesEveryCertificateInItOrNothing) {
    TempDir dir;
    const auto pem = dir / "roots.pem";
    const auto apple = signature::TrustAnchors::apple();
    {
        BioPtr out(BIO_new_file(pem.c_str(), "w"));
        for (const auto& root : apple.certificates())
            ASSERT_EQ(PEM_write_bio_X509(out.get(), root.get()), 1);
    }
    const auto anchors = signature::TrustAnchors::fromPemFile(pem);
    ASSERT_TRUE(anchors.has_value());
    ASSERT_EQ(anchors->certificates().size(), 3u);
    for (const auto& root : apple.certificates())
        EXPECT_TRUE(anchors->contains(root));

    std::ofstream(dir / "empty.pem") << "no certificate here\n";
    EXPECT_FALSE(signature::TrustAnchors::fromPemFile(dir / "empty.pem").has_value());
    EXPECT_FALSE(signature::TrustAnchors::fromPemFile(dir / "missing.pem").has_value());
    EXPECT_FALSE(signature::TrustAnchors::fromPemFile("/dev/zero").has_value());
}

TEST(TrustAnchors, APemFileIsReadUpToItsCap) {
    TempDir dir;
    const auto pem = dir / "roots.pem";
    {
        BioPtr out(BIO_new_file(pem.c_str(), "w"));
        ASSERT_EQ(PEM_write_bio_X509(out.get(), signature::TrustAnchors::apple().certificates()[0].get()), 1);
    }
    // Text around the blocks is allowed; it counts towards the cap all the same.
    const auto certificate = std::filesystem::file_size(pem);
    const auto fillTo = [&](std::uintmax_t size) {
        std::filesystem::resize_file(pem, certificate);
        std::ofstream(pem, std::ios::app) << std::string(size - certificate - 1, ' ') << "\n";
    };
    fillTo(signature::TrustAnchors::maxPemFileBytes);
    EXPECT_TRUE(signature::TrustAnchors::fromPemFile(pem).has_value());
    fillTo(signature::TrustAnchors::maxPemFileBytes + 1);
    EXPECT_FALSE(signature::TrustAnchors::fromPemFile(pem).has_value());
}

TEST(TrustAnchors, AppleSettingsCarryTheDeveloperIdAndTimeStampIntermediates) {
    signature::TrustSettings apple = signature::TrustSettings::apple();
    EXPECT_EQ(apple.anchors.certificates().size(), 3u);
    std::vector<std::string> fingerprints;
    for (const auto& intermediate : apple.intermediates)
        fingerprints.push_back(signature::toHex(intermediate.sha256()));
    EXPECT_EQ(fingerprints, (std::vector<std::string>{
                                "7afc9d01a62f03a2de9637936d4afe68090d2de18d03f29c88cfb0b1ba63587f",
                                "f16cd3c54c7f83cea4bf1a3e6a0819c8aaa8e4a1528fd144715f350643d2df3a",
                                "66285e2e374d00a8ba3d8d3d04393a48bd16554b284bc88dabec85b479adcd6b",
                            }));
    // Intermediates complete chains; they are never anchors.
    for (const auto& intermediate : apple.intermediates)
        EXPECT_FALSE(apple.anchors.contains(intermediate));
}

TEST(DenyList, RefusesListedSerialsTeamsAndCdhashes) {
    static const fixtures::ApplePki pki;
    signature::CertificateChain chain = {signature::Certificate::retain(pki.application.certificate.get())};
    std::vector<signature::Bytes> cdhashes = {signature::Bytes(20, 0x0F)};
    signature::DenyList list;
    EXPECT_EQ(signature::RevocationCheck().revocationReason(chain, cdhashes), std::nullopt);
    EXPECT_EQ(list.revocationReason(chain, cdhashes), std::nullopt);
    BignumPtr serial(ASN1_INTEGER_to_BN(X509_get0_serialNumber(pki.application.certificate.get()), nullptr));
    char* hex = BN_bn2hex(serial.get());
    list.serials.insert(hex);
    OPENSSL_free(hex);
    EXPECT_EQ(list.revocationReason(chain, cdhashes), "the signing certificate has been revoked");
    list.serials.clear();
    list.cdhashes.insert("0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f");
    EXPECT_EQ(list.revocationReason(chain, cdhashes), "the code has been revoked");
    EXPECT_EQ(list.revocationReason(chain, {signature::Bytes(20, 0x0E)}), std::nullopt);
}

TEST(SignaturePolicy, OstrelPolicyAndItsRequirementText) {
    SignaturePolicy policy = SignaturePolicy::ostrel();
    EXPECT_EQ(policy, (SignaturePolicy{"K7QZ2M4XNB", true, false}));
    EXPECT_TRUE(policy.requirementText().starts_with(SignaturePolicy::requirementPrefix()));
    EXPECT_EQ(policy.requirementText(),
              "anchor apple generic and certificate 1[field.1.2.840.113635.100.6.2.6] exists and certificate "
              "leaf[field.1.2.840.113635.100.6.1.13] exists and certificate leaf[subject.OU] = \"K7QZ2M4XNB\"");
}

TEST(VerificationFailure, SentencesForEveryCase) {
    EXPECT_STREQ(VerificationFailure::unsigned_("Foo.vst3").what(), "Foo.vst3 is not code signed. Install blocked.");
    EXPECT_STREQ(VerificationFailure::invalidSignature("Foo.vst3", "unreadable").what(),
                 "Foo.vst3 failed signature validation (unreadable). It may have been modified. Install blocked.");
    EXPECT_STREQ(VerificationFailure::wrongPublisher("Foo.vst3", "ABCDE12345").what(),
                 "Foo.vst3 is signed by team ABCDE12345, which is not Ostrel. Install blocked.");
    EXPECT_STREQ(VerificationFailure::wrongPublisher("Foo.vst3", std::nullopt).what(),
                 "Foo.vst3 is ad-hoc signed, without an Ostrel Developer ID. Install blocked.");
    EXPECT_STREQ(VerificationFailure::notNotarized("Foo.app").what(),
                 "Foo.app is signed by Ostrel but has not been notarized by Apple. Install blocked.");
    EXPECT_EQ(VerificationFailure::wrongPublisher("a", "T"), VerificationFailure::wrongPublisher("a", "T"));
    EXPECT_FALSE(VerificationFailure::wrongPublisher("a", "T") == VerificationFailure::wrongPublisher("a", "U"));
    EXPECT_FALSE(VerificationFailure::unsigned_("a") == VerificationFailure::notNotarized("a"));
}

} // namespace
} // namespace ostrel::test
