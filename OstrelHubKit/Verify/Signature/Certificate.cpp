#include "Verify/Signature/Certificate.h"

#include "Util/OpenSslPtr.h"
#include "Verify/Signature/SignatureFailure.h"

#include <map>

namespace ostrel::signature {

namespace {

int subjectNid(const std::string& field) {
    static const std::map<std::string, int> names = {{"CN", NID_commonName},        {"OU", NID_organizationalUnitName},
                                                     {"O", NID_organizationName},   {"C", NID_countryName},
                                                     {"L", NID_localityName},       {"ST", NID_stateOrProvinceName},
                                                     {"UID", NID_userId},           {"E", NID_pkcs9_emailAddress},
                                                     {"STREET", NID_streetAddress}, {"DC", NID_domainComponent}};
    auto found = names.find(field);
    return found == names.end() ? NID_undef : found->second;
}

} // namespace

Certificate Certificate::fromDer(std::span<const uint8_t> der) {
    const unsigned char* p = der.data();
    X509* x509 = d2i_X509(nullptr, &p, static_cast<long>(der.size()));
    if (x509 == nullptr || p != der.data() + der.size()) {
        X509_free(x509);
        throw SignatureFailure::invalid("a certificate is unreadable");
    }
    return Certificate(std::shared_ptr<X509>(x509, X509_free));
}

Certificate Certificate::retain(X509* x509) {
    X509_up_ref(x509);
    return Certificate(std::shared_ptr<X509>(x509, X509_free));
}

Bytes Certificate::der() const {
    unsigned char* out = nullptr;
    int length = i2d_X509(x509_.get(), &out);
    if (length <= 0)
        return {};
    Bytes result(out, out + length);
    OPENSSL_free(out);
    return result;
}

Bytes Certificate::sha256() const {
    Bytes out(32);
    unsigned int length = 0;
    X509_digest(x509_.get(), EVP_sha256(), out.data(), &length);
    return out;
}

std::vector<std::string> Certificate::subjectValues(const std::string& field) const {
    std::vector<std::string> values;
    int nid = subjectNid(field);
    if (nid == NID_undef)
        return values;
    X509_NAME* name = X509_get_subject_name(x509_.get());
    for (int i = X509_NAME_get_index_by_NID(name, nid, -1); i >= 0; i = X509_NAME_get_index_by_NID(name, nid, i)) {
        ASN1_STRING* data = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, i));
        unsigned char* utf8 = nullptr;
        int length = ASN1_STRING_to_UTF8(&utf8, data);
        if (length >= 0)
            values.emplace_back(reinterpret_cast<char*>(utf8), static_cast<size_t>(length));
        OPENSSL_free(utf8);
    }
    return values;
}

bool Certificate::hasExtension(const std::string& oid) const {
    Asn1ObjectPtr object(OBJ_txt2obj(oid.c_str(), 1));
    return object && X509_get_ext_by_OBJ(x509_.get(), object.get(), -1) >= 0;
}

bool Certificate::operator==(const Certificate& other) const {
    return x509_ == other.x509_ || X509_cmp(x509_.get(), other.x509_.get()) == 0;
}

} // namespace ostrel::signature
