#include "Verify/Signature/TrustAnchors.h"

#include "Util/AtomicFile.h"
#include "Verify/Signature/AppleRootCertificates.h"

#include <algorithm>
#include <stdexcept>

#include <openssl/pem.h>

namespace ostrel::signature {

std::optional<TrustAnchors> TrustAnchors::fromPemFile(const std::filesystem::path& file) {
    const auto text = AtomicFile::read(file, maxPemFileBytes);
    if (!text)
        return std::nullopt;
    BioPtr bio(BIO_new_mem_buf(text->data(), static_cast<int>(text->size())));
    if (!bio)
        return std::nullopt;
    std::vector<Certificate> roots;
    while (X509Ptr certificate{PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)})
        roots.push_back(Certificate::retain(certificate.get()));
    if (roots.empty())
        return std::nullopt;
    return TrustAnchors(std::move(roots));
}

TrustAnchors TrustAnchors::apple() {
    std::vector<Certificate> roots;
    for (std::span<const uint8_t> der : appleRootCertificates())
        roots.push_back(Certificate::fromDer(der));
    return TrustAnchors(std::move(roots));
}

bool TrustAnchors::contains(const Certificate& certificate) const {
    return std::find(roots_.begin(), roots_.end(), certificate) != roots_.end();
}

X509StorePtr TrustAnchors::makeStore() const {
    X509StorePtr store(X509_STORE_new());
    if (!store)
        throw std::bad_alloc();
    for (const Certificate& root : roots_)
        if (X509_STORE_add_cert(store.get(), root.get()) != 1)
            throw std::runtime_error("cannot add a trust anchor");
    return store;
}

} // namespace ostrel::signature
