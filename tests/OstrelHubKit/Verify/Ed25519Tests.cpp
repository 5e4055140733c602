// Ed25519 checks of the hub's update feed and downloads, against keys and signatures made by
// OpenSSL in the fixtures.
#include "HubUpdateSigner.h"
#include "TempDir.h"
#include "Util/Base64.h"
#include "Verify/Ed25519.h"

#include <gmock/gmock.h>

namespace ostrel {
namespace {

using fixtures::HubUpdateSigner;

TEST(Ed25519, AcceptsOnlyTheKeysOwnSignatureOverTheExactMessage) {
    const auto signer = HubUpdateSigner::generate();
    const auto other = HubUpdateSigner::generate();
    const std::string message = "the feed body";
    const auto signature = signer.sign(message);

    EXPECT_TRUE(Ed25519::verify(signer.publicKey(), message, signature));
    EXPECT_FALSE(Ed25519::verify(other.publicKey(), message, signature));
    EXPECT_FALSE(Ed25519::verify(signer.publicKey(), "the feed bodY", signature));
    auto flipped = signature;
    flipped[10] = static_cast<char>(flipped[10] ^ 0x01);
    EXPECT_FALSE(Ed25519::verify(signer.publicKey(), message, flipped));
    // Keys and signatures of any other size are refused, not read past or short.
    EXPECT_FALSE(Ed25519::verify(signer.publicKey().substr(0, 31), message, signature));
    EXPECT_FALSE(Ed25519::verify(signer.publicKey() + "x", message, signature));
    EXPECT_FALSE(Ed25519::verify(signer.publicKey(), message, signature.substr(0, 63)));
    EXPECT_FALSE(Ed25519::verify(signer.publicKey(), message, signature + "x"));
}

TEST(Ed25519, ChecksAWholeFile) {
    test::TempDir dir;
    const auto signer = HubUpdateSigner::generate();
    const auto file = dir / "download.tar.gz";
    test::writeFile(file, std::string(300'000, 'h'));
    const auto signature = signer.signFile(file);
    EXPECT_TRUE(Ed25519::verifyFile(signer.publicKey(), file, signature));

    test::writeFile(file, std::string(300'000, 'h') + "!");
    EXPECT_FALSE(Ed25519::verifyFile(signer.publicKey(), file, signature));
    test::writeFile(file, "");
    EXPECT_FALSE(Ed25519::verifyFile(signer.publicKey(), file, signer.sign("")));
    EXPECT_FALSE(Ed25519::verifyFile(signer.publicKey(), dir / "missing", signature));
}

TEST(Ed25519, ReadsAPublicKeyOfExactly32BytesInBase64) {
    const auto signer = HubUpdateSigner::generate();
    EXPECT_EQ(Ed25519::publicKeyFromBase64(signer.publicKeyBase64()), signer.publicKey());
    EXPECT_EQ(Ed25519::publicKeyFromBase64(base64Encode(std::string(31, 'k'))), std::nullopt);
    EXPECT_EQ(Ed25519::publicKeyFromBase64(base64Encode(std::string(33, 'k'))), std::nullopt);
    EXPECT_EQ(Ed25519::publicKeyFromBase64("not base64!"), std::nullopt);
}

TEST(Ed25519, TheDemoKeySignsForThePublicKeyTheHubIsBuiltWith) {
    const auto demo = HubUpdateSigner::fromFile(fixtures::demoHubUpdateKeyFile());
    EXPECT_EQ(demo.publicKeyBase64(), OSTREL_HUB_UPDATE_PUBLIC_KEY);
}

} // namespace
} // namespace ostrel
