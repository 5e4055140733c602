#include "VerifierOptions.h"

#include "Util/OpenSslPtr.h"

#include <openssl/pem.h>

namespace ostrel::hubctl {
namespace {

signature::TrustAnchors anchorsFrom(const std::string& pemFile) {
    BioPtr bio(BIO_new_file(pemFile.c_str(), "r"));
    if (!bio)
        throw UsageError("Cannot read the anchors file " + pemFile + ".");
    std::vector<signature::Certificate> roots;
    while (X509Ptr certificate{PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)})
        roots.push_back(signature::Certificate::retain(certificate.get()));
    if (roots.empty())
        throw UsageError("The anchors file " + pemFile + " holds no certificate.");
    return signature::TrustAnchors(std::move(roots));
}

} // namespace

CodeVerifier verifierFor(const CommandLine& line) {
    SignaturePolicy policy = SignaturePolicy::ostrel();
    if (const auto team = line.value("team"))
        policy.teamID = *team;
    signature::TrustSettings trust = signature::TrustSettings::apple();
    if (const auto anchors = line.value("anchors"))
        trust = signature::TrustSettings{.anchors = anchorsFrom(*anchors)};
    return CodeVerifier(policy, trust);
}

} // namespace ostrel::hubctl
