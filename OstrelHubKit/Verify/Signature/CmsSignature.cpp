#include "Verify/Signature/CmsSignature.h"

#include "Util/OpenSslPtr.h"
#include "Verify/Signature/SignatureFailure.h"

#include <algorithm>
#include <memory>
#include <set>
#include <string_view>

#include <openssl/cms.h>
#include <openssl/ts.h>
#include <plist/plist.h>

namespace ostrel::signature {

namespace {

constexpr const char* cdhashesPlistOid = "1.2.840.113635.100.9.1";
constexpr const char* cdhashesDigestOid = "1.2.840.113635.100.9.2";
// Apple marks its certificate-kind extensions critical (Developer ID
// Application .1.13, Installer .1.14, kernel extensions .1.18, development
// .1.12 ...); OpenSSL knows none of them and would refuse the chain. Only
// Apple's own arc is forgiven, never any other critical extension: what a
// certificate is allowed to sign is decided by the requirement afterwards.
constexpr std::string_view appleExtensionArc = "1.2.840.113635.100.6.";
// A time stamp may run ahead of our clock by this much (clock skew).
constexpr std::time_t allowedClockSkew = 300;

[[noreturn]] void refuse(const std::string& detail) {
    throw SignatureFailure::invalid(detail);
}

std::string oidText(const ASN1_OBJECT* object) {
    char buffer[128];
    int length = OBJ_obj2txt(buffer, sizeof buffer, object, 1);
    return length > 0 && length < int(sizeof buffer) ? std::string(buffer, length) : std::string();
}

Asn1ObjectPtr makeOid(const char* text) {
    return Asn1ObjectPtr(OBJ_txt2obj(text, 1));
}

std::time_t toTime(const ASN1_TIME* time) {
    struct tm parts {};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1)
        refuse("the signature's time stamp is unreadable");
    return timegm(&parts);
}

int forgiveAppleExtensions(int ok, X509_STORE_CTX* ctx) {
    if (ok != 0 || X509_STORE_CTX_get_error(ctx) != X509_V_ERR_UNHANDLED_CRITICAL_EXTENSION)
        return ok;
    X509* certificate = X509_STORE_CTX_get_current_cert(ctx);
    for (int i = 0; i < X509_get_ext_count(certificate); ++i) {
        X509_EXTENSION* extension = X509_get_ext(certificate, i);
        if (X509_EXTENSION_get_critical(extension) == 0 || X509_supported_extension(extension) != 0)
            continue;
        if (!oidText(X509_EXTENSION_get_object(extension)).starts_with(appleExtensionArc))
            return 0;
    }
    return 1;
}

// The signature's certificates and the known intermediates; none is trusted.
X509StackPtr untrustedCertificates(CMS_ContentInfo* cms, const TrustSettings& trust) {
    X509StackPtr certificates(CMS_get1_certs(cms));
    if (!certificates)
        certificates.reset(sk_X509_new_null());
    for (const Certificate& intermediate : trust.intermediates) {
        X509_up_ref(intermediate.get());
        sk_X509_push(certificates.get(), intermediate.get());
    }
    return certificates;
}

CmsPtr readCms(std::span<const uint8_t> bytes) {
    const unsigned char* p = bytes.data();
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(bytes.size())));
    if (!cms)
        refuse("the signature is unreadable");
    // The wrapper may be padded, but only with zeros.
    if (std::any_of(p, bytes.data() + bytes.size(), [](uint8_t b) { return b != 0; }))
        refuse("the signature has trailing data");
    if (OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed || CMS_is_detached(cms.get()) != 1 ||
        OBJ_obj2nid(CMS_get0_eContentType(cms.get())) != NID_pkcs7_data)
        refuse("the signature is not a detached signature");
    if (sk_CMS_SignerInfo_num(CMS_get0_SignerInfos(cms.get())) != 1)
        refuse("the signature does not have exactly one signer");
    return cms;
}

CMS_SignerInfo* onlySigner(CMS_ContentInfo* cms) {
    return sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(cms), 0);
}

// Checks one aspect of a time-stamp token; the context owns what it is given.
bool tokenPasses(PKCS7* token, int flags, X509StorePtr store, X509StackPtr certificates,
                 std::span<const uint8_t> data) {
    TsVerifyCtxPtr verify(TS_VERIFY_CTX_new());
    if (!verify)
        throw std::bad_alloc();
    TS_VERIFY_CTX_set_flags(verify.get(), flags);
    if (!data.empty()) {
        BioPtr bio(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())));
        if (!bio)
            throw std::bad_alloc();
        TS_VERIFY_CTX_set_data(verify.get(), bio.release());
    }
    if (store)
        TS_VERIFY_CTX_set_store(verify.get(), store.release());
    if (certificates)
        TS_VERIFY_CTX_set_certs(verify.get(), certificates.release());
    return TS_RESP_verify_token(verify.get(), token) == 1;
}

// The RFC 3161 token over the signer's signature value, checked against the
// same anchors at its own time.
std::optional<std::time_t> verifyTimestamp(CMS_ContentInfo* cms, CMS_SignerInfo* signer, const TrustSettings& trust) {
    int index = CMS_unsigned_get_attr_by_NID(signer, NID_id_smime_aa_timeStampToken, -1);
    if (index < 0)
        return std::nullopt;
    X509_ATTRIBUTE* attribute = CMS_unsigned_get_attr(signer, index);
    ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, 0);
    if (X509_ATTRIBUTE_count(attribute) != 1 || value == nullptr || value->type != V_ASN1_SEQUENCE ||
        CMS_unsigned_get_attr_by_NID(signer, NID_id_smime_aa_timeStampToken, index) >= 0)
        refuse("the signature's time stamp is unreadable");
    const unsigned char* p = value->value.sequence->data;
    Pkcs7Ptr token(d2i_PKCS7(nullptr, &p, value->value.sequence->length));
    TsTstInfoPtr info(token ? PKCS7_to_TS_TST_INFO(token.get()) : nullptr);
    if (!info)
        refuse("the signature's time stamp is unreadable");
    std::time_t time = toTime(TS_TST_INFO_get_time(info.get()));
    if (time > trust.currentTime() + allowedClockSkew)
        refuse("the signature's time stamp is in the future");

    X509StorePtr store = trust.anchors.makeStore();
    X509_VERIFY_PARAM_set_time(X509_STORE_get0_param(store.get()), time);
    // The signature's own certificates may complete the authority's chain;
    // they stay untrusted, the anchors alone are trusted.
    if (!tokenPasses(token.get(), TS_VFY_VERSION | TS_VFY_SIGNATURE, std::move(store),
                     untrustedCertificates(cms, trust), {}))
        refuse("the signature's time stamp is not valid");
    // A genuine token proves a time only for the signature value it covers;
    // one lifted from another signature proves nothing about this one.
    ASN1_OCTET_STRING* signature = CMS_SignerInfo_get0_signature(signer);
    if (!tokenPasses(token.get(), TS_VFY_DATA, nullptr, nullptr,
                     {signature->data, static_cast<size_t>(signature->length)}))
        refuse("the signature's time stamp belongs to another signature");
    return time;
}

void verifySignatureValue(CMS_ContentInfo* cms, std::span<const uint8_t> content) {
    BioPtr data(BIO_new_mem_buf(content.data(), static_cast<int>(content.size())));
    X509StorePtr empty(X509_STORE_new());
    if (CMS_verify(cms, nullptr, empty.get(), data.get(), nullptr, CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY) != 1)
        refuse("the signature does not match the code directory");
}

std::vector<Bytes> attributeCdhashList(CMS_SignerInfo* signer) {
    Asn1ObjectPtr oid = makeOid(cdhashesPlistOid);
    int index = CMS_signed_get_attr_by_OBJ(signer, oid.get(), -1);
    if (index < 0)
        return {};
    X509_ATTRIBUTE* attribute = CMS_signed_get_attr(signer, index);
    ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, 0);
    if (X509_ATTRIBUTE_count(attribute) != 1 || value == nullptr || value->type != V_ASN1_OCTET_STRING)
        refuse("the signature's list of code directories is unreadable");
    plist_t plist = nullptr;
    plist_from_xml(reinterpret_cast<const char*>(value->value.octet_string->data),
                   static_cast<uint32_t>(value->value.octet_string->length), &plist);
    std::unique_ptr<void, decltype(&plist_free)> owner(plist, plist_free);
    plist_t array =
        plist != nullptr && plist_get_node_type(plist) == PLIST_DICT ? plist_dict_get_item(plist, "cdhashes") : nullptr;
    if (array == nullptr || plist_get_node_type(array) != PLIST_ARRAY)
        refuse("the signature's list of code directories is unreadable");
    std::vector<Bytes> hashes;
    for (uint32_t i = 0; i < plist_array_get_size(array); ++i) {
        plist_t item = plist_array_get_item(array, i);
        if (plist_get_node_type(item) != PLIST_DATA)
            refuse("the signature's list of code directories is unreadable");
        char* data = nullptr;
        uint64_t length = 0;
        plist_get_data_val(item, &data, &length);
        hashes.emplace_back(data, data + length);
        free(data); // NOLINT: libplist hands out malloc'd memory
    }
    return hashes;
}

using AlgorithmDigest = std::pair<std::string, Bytes>; // digest OID, digest

std::vector<AlgorithmDigest> attributeDigests(CMS_SignerInfo* signer) {
    Asn1ObjectPtr oid = makeOid(cdhashesDigestOid);
    int index = CMS_signed_get_attr_by_OBJ(signer, oid.get(), -1);
    if (index < 0)
        return {};
    X509_ATTRIBUTE* attribute = CMS_signed_get_attr(signer, index);
    std::vector<AlgorithmDigest> digests;
    for (int i = 0; i < X509_ATTRIBUTE_count(attribute); ++i) {
        ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, i);
        if (value == nullptr || value->type != V_ASN1_SEQUENCE)
            refuse("the signature's code directory digests are unreadable");
        // SEQUENCE { OID, OCTET STRING } has the shape of an AlgorithmIdentifier.
        const unsigned char* p = value->value.sequence->data;
        X509AlgorPtr pair(d2i_X509_ALGOR(nullptr, &p, value->value.sequence->length));
        const ASN1_OBJECT* algorithm = nullptr;
        int type = 0;
        const void* digest = nullptr;
        if (pair)
            X509_ALGOR_get0(&algorithm, &type, &digest, pair.get());
        if (!pair || type != V_ASN1_OCTET_STRING)
            refuse("the signature's code directory digests are unreadable");
        auto octets = static_cast<const ASN1_OCTET_STRING*>(digest);
        digests.emplace_back(oidText(algorithm), Bytes(octets->data, octets->data + octets->length));
    }
    return digests;
}

// The signed attributes must name exactly the CodeDirectories present, in
// any order.
void checkHashAgility(CMS_SignerInfo* signer, const std::vector<CodeDirectoryHash>& present) {
    std::multiset<std::string> listed, listedExpected, digests, digestsExpected;
    for (const Bytes& hash : attributeCdhashList(signer))
        listed.insert(toHex(hash));
    for (const auto& [oid, digest] : attributeDigests(signer))
        digests.insert(oid + ":" + toHex(digest));
    if (listed.empty() && digests.empty()) {
        // Signatures older than hash agility sign the single CodeDirectory directly.
        if (present.size() != 1)
            refuse("the signature does not list its code directories");
        return;
    }
    for (const CodeDirectoryHash& cd : present) {
        listedExpected.insert(toHex(cd.cdhash20));
        digestsExpected.insert(hashOid(cd.type) + ":" + toHex(cd.fullDigest));
    }
    if ((!listed.empty() && listed != listedExpected) || (!digests.empty() && digests != digestsExpected))
        refuse("the code directories do not match the signature's list");
}

std::string chainFailure(int error, int depth, bool timestamped) {
    switch (error) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        if (depth != 0)
            return "a certificate in the signature's chain has expired";
        return timestamped ? "the signature was made after its certificate expired"
                           : "the signing certificate has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return depth == 0 ? "the signature was made before its certificate was valid"
                          : "a certificate in the signature's chain is not yet valid";
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return "the signature's certificate chain does not lead to a trusted root";
    case X509_V_ERR_UNHANDLED_CRITICAL_EXTENSION:
        return "a certificate in the signature's chain has an unknown critical extension";
    default:
        return std::string("the signature's certificate chain is not valid (") + X509_verify_cert_error_string(error) +
               ")";
    }
}

X509* signerCertificate(CMS_SignerInfo* signer) {
    X509* leaf = nullptr;
    CMS_SignerInfo_get0_algs(signer, nullptr, &leaf, nullptr, nullptr);
    if (leaf == nullptr)
        refuse("the signature does not carry its certificate");
    return leaf;
}

void checkExtendedKeyUsage(X509* leaf, const std::string& required) {
    if ((X509_get_extension_flags(leaf) & EXFLAG_XKUSAGE) == 0)
        return;
    OpenSslPtr<EXTENDED_KEY_USAGE, EXTENDED_KEY_USAGE_free> usages(
        static_cast<EXTENDED_KEY_USAGE*>(X509_get_ext_d2i(leaf, NID_ext_key_usage, nullptr, nullptr)));
    for (int i = 0; usages && i < sk_ASN1_OBJECT_num(usages.get()); ++i)
        if (oidText(sk_ASN1_OBJECT_value(usages.get(), i)) == required)
            return;
    refuse("the signing certificate is not meant for this kind of signature");
}

CertificateChain buildChain(CMS_ContentInfo* cms, X509* leaf, const TrustSettings& trust,
                            std::optional<std::time_t> timestamp) {
    X509StorePtr store = trust.anchors.makeStore();
    X509StackPtr untrusted = untrustedCertificates(cms, trust);
    X509StoreCtxPtr ctx(X509_STORE_CTX_new());
    if (!ctx || X509_STORE_CTX_init(ctx.get(), store.get(), leaf, untrusted.get()) != 1)
        throw std::bad_alloc();
    // The S/MIME purpose would refuse code-signing leaves; the requirement
    // checks the Developer ID markers instead.
    X509_STORE_CTX_set_purpose(ctx.get(), X509_PURPOSE_ANY);
    X509_VERIFY_PARAM_set_time(X509_STORE_CTX_get0_param(ctx.get()), timestamp ? *timestamp : trust.currentTime());
    X509_STORE_CTX_set_verify_cb(ctx.get(), forgiveAppleExtensions);
    if (X509_verify_cert(ctx.get()) != 1)
        refuse(chainFailure(X509_STORE_CTX_get_error(ctx.get()), X509_STORE_CTX_get_error_depth(ctx.get()),
                            timestamp.has_value()));
    X509StackPtr built(X509_STORE_CTX_get1_chain(ctx.get()));
    CertificateChain chain;
    for (int i = 0; built && i < sk_X509_num(built.get()); ++i)
        chain.push_back(Certificate::retain(sk_X509_value(built.get(), i)));
    if (chain.empty() || !trust.anchors.contains(chain.back()))
        refuse("the signature's certificate chain does not lead to a trusted root");
    return chain;
}

} // namespace

CodeDirectoryHash codeDirectoryHash(HashType type, std::span<const uint8_t> codeDirectory) {
    CodeDirectoryHash hash;
    hash.type = type;
    hash.cdhash20 = digest(type, codeDirectory);
    hash.cdhash20.resize(20);
    hash.fullDigest = digest(type == HashType::sha256Truncated ? HashType::sha256 : type, codeDirectory);
    return hash;
}

SignerEvidence verifyCmsSignature(std::span<const uint8_t> cmsBytes, std::span<const uint8_t> signedContent,
                                  const std::vector<CodeDirectoryHash>& codeDirectories, const TrustSettings& trust,
                                  const std::string& requiredEku) {
    CmsPtr cms = readCms(cmsBytes);
    CMS_SignerInfo* signer = onlySigner(cms.get());
    SignerEvidence evidence;
    evidence.timestamp = verifyTimestamp(cms.get(), signer, trust);
    verifySignatureValue(cms.get(), signedContent);
    if (!codeDirectories.empty())
        checkHashAgility(signer, codeDirectories);
    X509* leaf = signerCertificate(signer);
    evidence.chain = buildChain(cms.get(), leaf, trust, evidence.timestamp);
    checkExtendedKeyUsage(leaf, requiredEku);
    std::vector<Bytes> cdhashes;
    for (const CodeDirectoryHash& cd : codeDirectories)
        cdhashes.push_back(cd.cdhash20);
    if (auto reason = trust.revocation ? trust.revocation->revocationReason(evidence.chain, cdhashes) : std::nullopt)
        refuse(*reason);
    return evidence;
}

} // namespace ostrel::signature
