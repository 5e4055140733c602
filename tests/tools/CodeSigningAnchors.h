#pragma once

#include "Util/OpenSslPtr.h"
#include "Verify/Signature/TrustAnchors.h"

#include <filesystem>
#include <stdexcept>

#include <openssl/pem.h>

namespace ostrel::demo {

// The root certificate in a PEM file as the only trust anchor: a verifier that trusts the demo's
// release files (DemoServices::codeSigningRoot) and nothing else.
inline signature::TrustAnchors anchorsIn(const std::filesystem::path& pemFile) {
    BioPtr bio(BIO_new_file(pemFile.c_str(), "r"));
    X509Ptr root(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!root)
        throw std::runtime_error("no certificate in " + pemFile.string());
    return signature::TrustAnchors({signature::Certificate::retain(root.get())});
}

} // namespace ostrel::demo
