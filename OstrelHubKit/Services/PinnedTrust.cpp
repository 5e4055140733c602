#include "Services/PinnedTrust.h"

#include "Services/HostPolicy.h"
#include "Services/ServiceConfig.h"
#include "Util/Text.h"

#include <array>

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace ostrel {

namespace {

// Pins of the authorities the production hosts use, printed by scripts/compute-pins from
// Debian's copy of the Mozilla root store.
const std::set<std::string>& amazonRootPins() {
    static const std::set<std::string> pins{
        "++MBgDH5WGvL9Bcn5Be30cRcL0f5O+NyoXuWtQdX1aI=", // Amazon Root CA 1
        "f0KW/FtqTjs108NpYj42SrGvOB2PpxIVM8nWxjPqJGE=", // Amazon Root CA 2
        "NqvDJlas/GRcYbcWE8S/IceH9cq77kg0jVhZeAPXq8k=", // Amazon Root CA 3
        "9+ze1cZgR9KO1kZrVDxA4HQ6voHRCSVNz4RdTCx4U8U=", // Amazon Root CA 4
        "KwccWaCgrnaw6tsrrSO61FgLacNgG2MMLq8GE6+oP5I=", // Starfield Services Root Certificate Authority - G2
    };
    return pins;
}

// The two ISRG roots, and the RSA and ECDSA intermediates Let's Encrypt issues from. The
// intermediates are not in the root store; their certificates are kept in scripts/pins/ and
// verify against the roots there.
const std::set<std::string>& letsEncryptRootPins() {
    static const std::set<std::string> pins{
        "C5+lpZ7tcVwmwQIMcRtPbsQtWLABXhQzejna0wHFr8M=", // ISRG Root X1
        "diGVwiVYbubAI3RW4hB9xU8e/CH2GnkuvVFZE8zmgzI=", // ISRG Root X2
        "bdrBhpj38ffhxpubzkINl0rG+UyossdhcBYj+Zx2fcc=", // Let's Encrypt R11
        "0Bbh/jEZSKymTy3kTOhsmlHKBB32EDu1KojrP3YfV9c=", // Let's Encrypt E6
    };
    return pins;
}

// The other authorities the download-storage hosts get certificates from.
const std::set<std::string>& cloudflareExtraPins() {
    static const std::set<std::string> pins{
        "hxqRlPTu1bMS/0DITB1SSu0vd4u/8l8TjPgfaAp63Gc=", // GTS Root R1
        "Vfd95BwDeSQo+NUYxVEEIlvkOlWY2SalKK1lPhzOx78=", // GTS Root R2
        "QXnt2YHvdHR3tJYmQIr0Paosp6t/nggsEGD4QJZ3Q0g=", // GTS Root R3
        "mEflZT5enoR1FuXLgYYGqnVEoZvmf9c2bVBpiOjYQ0c=", // GTS Root R4
        "K87oWBWM9UZfyddvDfoxL+8lpNyoUB2ptGtn0fv6G2Q=", // GlobalSign Root CA
        "0cRTd+vc1hjNFlHcLgLCHXUeWqn80bNDH/bs9qMTSPo=", // SSL.com Root Certification Authority RSA
        "oyD01TTXvpfBro3QSZc1vIlcMjrdLTiL/M9mLCPX+Zo=", // SSL.com Root Certification Authority ECC
    };
    return pins;
}

struct KnownKeyShape {
    std::string_view type;
    int bits;
    std::string_view headerHex;
    size_t rawKeyLength; // what the header's BIT STRING holds after its unused-bits byte
};

// RSA first, then elliptic curves. Any other shape has no header and so never matches a pin.
constexpr std::array<KnownKeyShape, 4> knownShapes{{
    {PinnedTrust::rsaKeyType, 2048, "30820122300d06092a864886f70d01010105000382010f00", 270},
    {PinnedTrust::rsaKeyType, 4096, "30820222300d06092a864886f70d01010105000382020f00", 526},
    {PinnedTrust::ecKeyType, 256, "3059301306072a8648ce3d020106082a8648ce3d030107034200", 65},
    {PinnedTrust::ecKeyType, 384, "3076301006072a8648ce3d020106052b81040022036200", 97},
}};

const KnownKeyShape* shapeFor(std::string_view type, int bits) {
    for (const auto& shape : knownShapes)
        if (shape.type == type && shape.bits == bits)
            return &shape;
    return nullptr;
}

std::vector<uint8_t> bytesFromHex(std::string_view hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

// "RSA", "EC" for the NIST curves we know, none for anything else (RSA-PSS, Ed25519, other curves).
std::optional<std::string_view> keyTypeOf(EVP_PKEY* key) {
    if (EVP_PKEY_get_base_id(key) == EVP_PKEY_RSA)
        return PinnedTrust::rsaKeyType;
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_EC)
        return std::nullopt;
    std::array<char, 64> group{};
    size_t length = 0;
    if (EVP_PKEY_get_group_name(key, group.data(), group.size(), &length) != 1)
        return std::nullopt;
    const std::string_view name(group.data(), length);
    if (name == "prime256v1" || name == "secp384r1")
        return PinnedTrust::ecKeyType;
    return std::nullopt;
}

// PKCS #1 RSAPublicKey for RSA, the encoded point for EC.
std::vector<uint8_t> rawKeyOf(EVP_PKEY* key) {
    const int length = i2d_PublicKey(key, nullptr);
    if (length <= 0)
        return {};
    std::vector<uint8_t> raw(static_cast<size_t>(length));
    auto* out = raw.data();
    if (i2d_PublicKey(key, &out) != length)
        return {};
    return raw;
}

std::string base64Sha256(const std::vector<uint8_t>& bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned digestLength = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), &digestLength, EVP_sha256(), nullptr);
    std::array<unsigned char, 4 * ((EVP_MAX_MD_SIZE + 2) / 3) + 1> text{};
    const int textLength = EVP_EncodeBlock(text.data(), digest.data(), static_cast<int>(digestLength));
    return std::string(reinterpret_cast<const char*>(text.data()), static_cast<size_t>(textLength));
}

void pointAtHost(X509_VERIFY_PARAM* param, const std::string& host) {
    X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1)
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
}

bool refuse(X509_STORE_CTX* trust) {
    X509_STORE_CTX_set_error(trust, X509_V_ERR_APPLICATION_VERIFICATION);
    return false;
}

} // namespace

const std::set<std::string>& PinnedTrust::amazonRoots() {
    return amazonRootPins();
}
const std::set<std::string>& PinnedTrust::letsEncryptRoots() {
    return letsEncryptRootPins();
}

const std::set<std::string>& PinnedTrust::cloudflareRoots() {
    static const std::set<std::string> pins = [] {
        auto all = letsEncryptRoots();
        all.insert(cloudflareExtraPins().begin(), cloudflareExtraPins().end());
        return all;
    }();
    return pins;
}

const PinnedTrust& PinnedTrust::ostrel() {
    static const PinnedTrust trust = ServiceConfig::production().pinnedTrust();
    return trust;
}

std::optional<std::set<std::string>> PinnedTrust::pinned(std::string_view host) const {
    const auto lower = Text::asciiLowercase(host);
    if (const auto exact = pins.find(lower); exact != pins.end())
        return exact->second;
    for (const auto& [domain, set] : suffixPins)
        if (isSubdomain(lower, domain))
            return set;
    return std::nullopt;
}

bool PinnedTrust::accepts(X509_STORE_CTX* trust, const std::string& host) const {
    const auto set = pinned(host);
    if (!set || set->empty())
        return refuse(trust);
    pointAtHost(X509_STORE_CTX_get0_param(trust), host);
    if (X509_verify_cert(trust) != 1)
        return false; // the context keeps OpenSSL's own reason
    STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(trust);
    for (int i = 0; chain && i < sk_X509_num(chain); ++i) {
        const auto hash = spkiHash(sk_X509_value(chain, i));
        if (hash && set->contains(*hash))
            return true;
    }
    return refuse(trust);
}

std::optional<std::string> PinnedTrust::spkiHash(X509* certificate) {
    EVP_PKEY* key = certificate ? X509_get0_pubkey(certificate) : nullptr;
    if (!key)
        return std::nullopt;
    const auto type = keyTypeOf(key);
    if (!type)
        return std::nullopt;
    const auto* shape = shapeFor(*type, EVP_PKEY_get_bits(key));
    const auto raw = rawKeyOf(key);
    // A compressed point or an unusual RSA exponent would not fill the header's length.
    if (!shape || raw.size() != shape->rawKeyLength)
        return std::nullopt;
    auto spki = bytesFromHex(shape->headerHex);
    spki.insert(spki.end(), raw.begin(), raw.end());
    return base64Sha256(spki);
}

std::optional<std::vector<uint8_t>> PinnedTrust::spkiHeader(std::string_view type, int bits) {
    const auto* shape = shapeFor(type, bits);
    if (!shape)
        return std::nullopt;
    return bytesFromHex(shape->headerHex);
}

} // namespace ostrel
