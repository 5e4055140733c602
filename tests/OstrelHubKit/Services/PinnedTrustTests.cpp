#include "Services/HostPolicy.h"
#include "Services/PinnedTrust.h"
#include "Services/ServiceConfig.h"
#include "TempDir.h"
#include "TlsChains.h"
#include "Util/OpenSslPtr.h"

#include <filesystem>

#include <gtest/gtest.h>

#include <openssl/pem.h>

namespace ostrel {
namespace {

using fixtures::TlsKeyKind;

X509Ptr readCertificate(const std::filesystem::path& file) {
    BioPtr bio(BIO_new_file(file.c_str(), "r"));
    return X509Ptr(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

const HostPolicy policy{
    .apiHost = "api.store.example",
    .assetHosts = {"cdn.store.example", "maker.example"},
    .downloadDomains = {"files.example"},
};

TEST(HostPolicy, PlainHttpsMeansHttpsOn443WithoutCredentials) {
    EXPECT_TRUE(HostPolicy::isPlainHTTPS(Url("https://api.store.example/x")));
    EXPECT_TRUE(HostPolicy::isPlainHTTPS(Url("HTTPS://api.store.example:443/x")));
    EXPECT_FALSE(HostPolicy::isPlainHTTPS(Url("https://api.store.example:8443/x")));
    EXPECT_FALSE(HostPolicy::isPlainHTTPS(Url("http://api.store.example/x")));
    EXPECT_FALSE(HostPolicy::isPlainHTTPS(Url("https://ann@api.store.example/x")));
    EXPECT_FALSE(HostPolicy::isPlainHTTPS(Url("https://:pw@api.store.example/x")));
    EXPECT_FALSE(HostPolicy::isPlainHTTPS(Url("ostrel-hub://api.store.example/x")));
}

TEST(HostPolicy, EachRoleAllowsOnlyItsHosts) {
    EXPECT_TRUE(policy.allowsAPI(Url("https://API.Store.Example/api/customer/storefront")));
    EXPECT_FALSE(policy.allowsAPI(Url("https://eu.api.store.example/")));
    EXPECT_FALSE(policy.allowsAPI(Url("https://api.store.example:8443/")));

    EXPECT_TRUE(policy.allowsImage(Url("https://cdn.store.example/icon.png")));
    EXPECT_TRUE(policy.allowsImage(Url("https://Maker.Example/icon.png")));
    EXPECT_FALSE(policy.allowsImage(Url("https://img.cdn.store.example/icon.png")));
    EXPECT_FALSE(policy.allowsImage(Url("http://cdn.store.example/icon.png")));

    EXPECT_TRUE(policy.allowsDownload(Url("https://bucket.files.example/release.pkg")));
    EXPECT_TRUE(policy.allowsDownload(Url("https://A.B.FILES.EXAMPLE/release.pkg")));
    EXPECT_FALSE(policy.allowsDownload(Url("https://files.example/release.pkg")));
    EXPECT_FALSE(policy.allowsDownload(Url("https://evilfiles.example/release.pkg")));
    EXPECT_FALSE(policy.allowsDownload(Url("https://bucket.files.example.evil/release.pkg")));
    EXPECT_FALSE(policy.allowsDownload(Url("https://user@bucket.files.example/release.pkg")));

    EXPECT_EQ(policy.apiBase().text(), "https://api.store.example/");
}

TEST(PinnedTrust, LooksUpExactHostsBeforeSuffixes) {
    const PinnedTrust trust{
        .pins = {{"api.example", {"A"}}, {"special.files.example", {"S"}}},
        .suffixPins = {{"files.example", {"F"}}},
    };
    EXPECT_EQ(trust.pinned("API.Example"), std::set<std::string>{"A"});
    EXPECT_EQ(trust.pinned("special.files.example"), std::set<std::string>{"S"});
    EXPECT_EQ(trust.pinned("Bucket.Files.Example"), std::set<std::string>{"F"});
    EXPECT_EQ(trust.pinned("files.example"), std::nullopt);
    EXPECT_EQ(trust.pinned("xfiles.example"), std::nullopt);
    EXPECT_EQ(trust.pinned("sub.api.example"), std::nullopt);
}

TEST(PinnedTrust, ProductionTableGroupsHostsByAuthority) {
    const auto& config = ServiceConfig::production();
    const auto& trust = PinnedTrust::ostrel();
    EXPECT_EQ(trust.pinned(config.storeApiHost), PinnedTrust::amazonRoots());
    EXPECT_EQ(trust.pinned(config.identityApiHost), PinnedTrust::letsEncryptRoots());
    EXPECT_EQ(trust.pinned(config.webDomain), PinnedTrust::letsEncryptRoots());
    EXPECT_EQ(trust.pinned("bucket." + config.downloadDomain), PinnedTrust::cloudflareRoots());
    EXPECT_EQ(trust.pinned(config.downloadDomain), std::nullopt);
    EXPECT_EQ(trust.pinned(config.storeAssetHost), std::nullopt); // images come through their own cache
    EXPECT_EQ(PinnedTrust::amazonRoots().size(), 5u);
    for (const auto& pin : PinnedTrust::letsEncryptRoots())
        EXPECT_TRUE(PinnedTrust::cloudflareRoots().contains(pin));
    EXPECT_EQ(HostPolicy::ostrel(), config.hostPolicy());
}

// Every production pin must be the key of a certificate in the system's root store (or one of
// the Let's Encrypt intermediates kept in scripts/pins), computed by spkiHash exactly as the
// handshake will; and for every certificate there, spkiHash agrees with OpenSSL's own
// SubjectPublicKeyInfo encoding whenever it gives a hash at all.
TEST(PinnedTrust, SpkiHashMatchesTheRootStore) {
    const std::filesystem::path store = "/usr/share/ca-certificates/mozilla";
    if (!std::filesystem::is_directory(store))
        GTEST_SKIP() << "no root store at " << store;
    std::set<std::string> hashes;
    std::vector<std::filesystem::directory_entry> certificates;
    for (const auto& folder : {store, std::filesystem::path(OSTREL_PIN_CERTIFICATES)})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            certificates.push_back(entry);
    for (const auto& entry : certificates) {
        const auto cert = readCertificate(entry.path());
        ASSERT_TRUE(cert) << entry.path();
        const auto hash = PinnedTrust::spkiHash(cert.get());
        if (!hash)
            continue;
        EXPECT_EQ(*hash, fixtures::spkiPinOfPem(entry.path())) << entry.path();
        hashes.insert(*hash);
    }
    for (const auto* set : {&PinnedTrust::amazonRoots(), &PinnedTrust::cloudflareRoots()})
        for (const auto& pin : *set)
            EXPECT_TRUE(hashes.contains(pin)) << pin;
    // Five for the store API, four for the maker's hosts, seven more for downloads: 16 in all.
    EXPECT_EQ(PinnedTrust::amazonRoots().size(), 5u);
    EXPECT_EQ(PinnedTrust::letsEncryptRoots().size(), 4u);
    EXPECT_EQ(PinnedTrust::cloudflareRoots().size(), 11u);
    std::set<std::string> all = PinnedTrust::amazonRoots();
    all.insert(PinnedTrust::cloudflareRoots().begin(), PinnedTrust::cloudflareRoots().end());
    EXPECT_EQ(all.size(), 16u);
}

TEST(PinnedTrust, SpkiHashKnowsOnlyFourKeyShapes) {
    test::TempDir dir;
    const auto known = fixtures::makeTlsChain(dir / "known", {.hostNames = {"a.example"},
                                                              .rootKey = TlsKeyKind::rsa4096,
                                                              .intermediateKey = TlsKeyKind::rsa2048,
                                                              .leafKey = TlsKeyKind::ecP256,
                                                              .expiredLeaf = false});
    const auto other = fixtures::makeTlsChain(dir / "other", {.hostNames = {"a.example"},
                                                              .rootKey = TlsKeyKind::ecP384,
                                                              .intermediateKey = TlsKeyKind::rsa3072,
                                                              .leafKey = TlsKeyKind::ecP521,
                                                              .expiredLeaf = false});
    EXPECT_EQ(PinnedTrust::spkiHash(readCertificate(known.root).get()), known.rootPin);
    EXPECT_EQ(PinnedTrust::spkiHash(readCertificate(known.intermediate).get()), known.intermediatePin);
    EXPECT_EQ(PinnedTrust::spkiHash(readCertificate(known.leaf).get()), known.leafPin);
    EXPECT_EQ(PinnedTrust::spkiHash(readCertificate(other.root).get()), other.rootPin);
    EXPECT_EQ(PinnedTrust::spkiHash(readCertificate(other.intermediate).get()), std::nullopt);
    EXPECT_EQ(PinnedTrust::spkiHash(readCertificate(other.leaf).get()), std::nullopt);
    EXPECT_EQ(PinnedTrust::spkiHash(nullptr), std::nullopt);

    EXPECT_TRUE(PinnedTrust::spkiHeader("RSA", 2048).has_value());
    EXPECT_TRUE(PinnedTrust::spkiHeader("EC", 384).has_value());
    EXPECT_FALSE(PinnedTrust::spkiHeader("RSA", 3072).has_value());
    EXPECT_FALSE(PinnedTrust::spkiHeader("EC", 521).has_value());
    EXPECT_FALSE(PinnedTrust::spkiHeader("EC", 2048).has_value());
    EXPECT_FALSE(PinnedTrust::spkiHeader("DSA", 2048).has_value());
}

} // namespace
} // namespace ostrel
