#include "Verify/Signature/PackageSignature.h"

#include "Util/OpenSslPtr.h"
#include "Verify/Signature/CmsSignature.h"
#include "Verify/Signature/SignatureDefect.h"
#include "Verify/Signature/SignatureFailure.h"
#include "Verify/Signature/XarArchive.h"

#include <system_error>

#include <openssl/rsa.h>

namespace ostrel::signature {

namespace {

constexpr const char* developerIdCaOid = "1.2.840.113635.100.6.2.6";
constexpr const char* installerLeafOid = "1.2.840.113635.100.6.1.14";

[[noreturn]] void refuse(const std::string& detail) {
    throw SignatureFailure::invalid(detail);
}

// The RSA signature is PKCS#1 v1.5 over DigestInfo(checksum kind, checksum):
// the checksum already is the digest, so it is not hashed again.
void verifyRsaSignature(const XarArchive& archive, const Certificate& leaf, const Bytes& checksum) {
    const Bytes signature = archive.signatureBytes(*archive.toc().signature);
    EVP_PKEY* key = X509_get0_pubkey(leaf.get());
    if (key == nullptr || EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA)
        refuse("the package's signing certificate has no RSA key");
    EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new(key, nullptr));
    if (!ctx || EVP_PKEY_verify_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1 ||
        EVP_PKEY_CTX_set_signature_md(ctx.get(), archive.header().digest()) != 1)
        throw std::bad_alloc();
    if (EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), checksum.data(), checksum.size()) != 1)
        refuse("the package's RSA signature does not match its table of contents");
}

// The CMS signature's chain may be completed by the certificates the table of
// contents lists; like the CMS's own, they are never trusted themselves.
TrustSettings withTocCertificates(const TrustSettings& trust, const XarSignature& signature) {
    TrustSettings extended = trust;
    for (const auto& der : signature.certificates)
        extended.intermediates.push_back(Certificate::fromDer(der));
    return extended;
}

Certificate tocLeaf(const XarArchive& archive) {
    const auto& certificates = archive.toc().signature->certificates;
    if (certificates.empty())
        refuse("the package's signature does not carry its certificate");
    return Certificate::fromDer(certificates.front());
}

bool issuedForDistribution(const CertificateChain& chain) {
    return chain.size() >= 3 && chain[1].hasExtension(developerIdCaOid) && chain[0].hasExtension(installerLeafOid);
}

void checkSignedArchive(const XarArchive& archive, const TrustSettings& trust, PackageSignatureFacts& facts) {
    const XarToc& toc = archive.toc();
    if (!toc.signature || toc.signature->style != "RSA")
        refuse("the package has no RSA signature");
    if (!toc.xSignature || toc.xSignature->style != "CMS")
        refuse("the package has no CMS signature");
    const Certificate leaf = tocLeaf(archive);
    if (auto names = leaf.subjectValues("CN"); !names.empty())
        facts.leaf = names.front();
    archive.verifyTocChecksum();
    archive.verifyFileChecksums();
    const Bytes checksum = archive.storedTocChecksum();
    const SignerEvidence evidence =
        verifyCmsSignature(archive.signatureBytes(*toc.xSignature), checksum, {},
                           withTocCertificates(trust, *toc.signature), eku::developerIdInstaller);
    verifyRsaSignature(archive, leaf, checksum);
    if (!(evidence.chain.front() == leaf))
        refuse("the package's RSA and CMS signatures are by different certificates");
    facts.valid = true;
    facts.issuedForDistribution = issuedForDistribution(evidence.chain);
}

} // namespace

PackageSignatureFacts checkPackageSignature(const std::filesystem::path& package, const TrustSettings& trust) {
    PackageSignatureFacts facts;
    try {
        const XarArchive archive = XarArchive::open(package);
        facts.isSigned = archive.toc().signature || archive.toc().xSignature;
        if (!facts.isSigned) {
            facts.problem = "the package is not signed";
            return facts;
        }
        checkSignedArchive(archive, trust, facts);
    } catch (const SignatureDefect& defect) {
        facts.problem = defect.detail();
    } catch (const SignatureFailure& failure) {
        facts.problem = failure.detail();
    } catch (const std::system_error&) { // file system errors included
        facts.problem = "the package cannot be read";
    }
    return facts;
}

} // namespace ostrel::signature
