#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <openssl/types.h>

namespace ostrel {

// The public keys each host's certificate chain must contain, and the check of one TLS
// connection against them. A pin is base64(SHA-256(DER SubjectPublicKeyInfo)), 44 characters.
struct PinnedTrust {
    std::map<std::string, std::set<std::string>> pins;       // exact host (lower case) → pins
    std::map<std::string, std::set<std::string>> suffixPins; // domain (lower case) → pins of its subdomains

    // Authorities of the store API host (5 keys).
    static const std::set<std::string>& amazonRoots();
    // Authorities of the maker's web and identity hosts.
    static const std::set<std::string>& letsEncryptRoots();
    // Authorities of the download-storage hosts: letsEncryptRoots and more.
    static const std::set<std::string>& cloudflareRoots();
    // The production table.
    static const PinnedTrust& ostrel();

    // The pins that apply to `host`: its own entry, else that of a domain it is a subdomain of.
    std::optional<std::set<std::string>> pinned(std::string_view host) const;

    // The whole decision for one TLS connection. `trust` holds the presented chain and the trust
    // anchors (as OpenSSL hands it to a certificate-verify callback). The chain must first pass
    // OpenSSL's own verification for `host` (anchors, validity, host name); then the first
    // certificate of the verified chain, leaf first, whose key is pinned for `host` accepts it.
    // On refusal the context carries the reason as its verify error.
    bool accepts(X509_STORE_CTX* trust, const std::string& host) const;

    // The key-type names spkiHeader knows.
    static constexpr std::string_view rsaKeyType = "RSA";
    static constexpr std::string_view ecKeyType = "EC"; // NIST prime curves only

    // The pin of `certificate`'s key, only for RSA 2048/4096 and EC P-256/P-384 keys.
    static std::optional<std::string> spkiHash(X509* certificate);
    // The DER prefix that turns a raw key of that type and size into a SubjectPublicKeyInfo.
    static std::optional<std::vector<uint8_t>> spkiHeader(std::string_view type, int bits);

    bool operator==(const PinnedTrust&) const = default;
};

} // namespace ostrel
