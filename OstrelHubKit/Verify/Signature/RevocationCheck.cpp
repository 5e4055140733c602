#include "Verify/Signature/RevocationCheck.h"

#include "Util/OpenSslPtr.h"
#include "Verify/Signature/HashType.h"

namespace ostrel::signature {

namespace {

std::string serialHex(X509* certificate) {
    BignumPtr serial(ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr));
    if (!serial)
        return {};
    char* hex = BN_bn2hex(serial.get());
    std::string result = hex == nullptr ? "" : hex;
    OPENSSL_free(hex);
    return result;
}

} // namespace

std::optional<std::string> RevocationCheck::revocationReason(const CertificateChain&, const std::vector<Bytes>&) const {
    return std::nullopt;
}

std::optional<std::string> DenyList::revocationReason(const CertificateChain& chain,
                                                      const std::vector<Bytes>& codeHashes) const {
    if (!chain.empty()) {
        if (serials.contains(serialHex(chain.front().get())))
            return "the signing certificate has been revoked";
        for (const std::string& team : chain.front().subjectValues("OU"))
            if (teams.contains(team))
                return "the signing team has been revoked";
    }
    for (const Bytes& hash : codeHashes)
        if (cdhashes.contains(toHex(hash)))
            return "the code has been revoked";
    return std::nullopt;
}

} // namespace ostrel::signature
