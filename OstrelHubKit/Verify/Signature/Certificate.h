#pragma once

#include "Verify/Signature/ByteReader.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

#include <openssl/x509.h>

namespace ostrel::signature {

// One X.509 certificate, shared and immutable, with the few questions code
// requirements ask of it.
class Certificate {
public:
    // Throws SignatureFailure::invalid when the bytes are not one DER certificate.
    static Certificate fromDer(std::span<const uint8_t> der);
    // Takes a new reference to `x509`.
    static Certificate retain(X509* x509);

    X509* get() const { return x509_.get(); }
    Bytes der() const;
    Bytes sha256() const;
    // Every value of a subject attribute ("OU", "CN", "O", "C", "UID", ...).
    std::vector<std::string> subjectValues(const std::string& field) const;
    bool hasExtension(const std::string& oid) const;

    bool operator==(const Certificate& other) const;

private:
    explicit Certificate(std::shared_ptr<X509> x509) : x509_(std::move(x509)) {}
    std::shared_ptr<X509> x509_;
};

// A validated chain: the leaf first, the trust anchor last.
using CertificateChain = std::vector<Certificate>;

} // namespace ostrel::signature
