#include "Verify/Signature/HashType.h"

#include "Util/OpenSslPtr.h"

#include <stdexcept>

#include <openssl/evp.h>

namespace ostrel::signature {

namespace {

const char* digestName(HashType type) {
    switch (type) {
    case HashType::sha1:
        return "SHA1";
    case HashType::sha256:
    case HashType::sha256Truncated:
        return "SHA256";
    case HashType::sha384:
        return "SHA384";
    }
    throw std::logic_error("unknown hash type");
}

} // namespace

std::optional<HashType> hashTypeFromNumber(uint8_t number) {
    if (number >= 1 && number <= 4)
        return static_cast<HashType>(number);
    return std::nullopt;
}

size_t hashSize(HashType type) {
    switch (type) {
    case HashType::sha1:
    case HashType::sha256Truncated:
        return 20;
    case HashType::sha256:
        return 32;
    case HashType::sha384:
        return 48;
    }
    return 0;
}

int hashStrength(HashType type) {
    switch (type) {
    case HashType::sha1:
        return 1;
    case HashType::sha256Truncated:
        return 2;
    case HashType::sha256:
        return 3;
    case HashType::sha384:
        return 4;
    }
    return 0;
}

std::string hashName(HashType type) {
    switch (type) {
    case HashType::sha1:
        return "SHA-1";
    case HashType::sha256:
        return "SHA-256";
    case HashType::sha256Truncated:
        return "SHA-256/20";
    case HashType::sha384:
        return "SHA-384";
    }
    return "unknown";
}

std::string hashOid(HashType type) {
    switch (type) {
    case HashType::sha1:
        return "1.3.14.3.2.26";
    case HashType::sha256:
    case HashType::sha256Truncated:
        return "2.16.840.1.101.3.4.2.1";
    case HashType::sha384:
        return "2.16.840.1.101.3.4.2.2";
    }
    return "";
}

Bytes digest(HashType type, std::span<const uint8_t> data) {
    Bytes out(hashSize(type));
    Hasher(type).hash(data, out.data());
    return out;
}

Hasher::Hasher(HashType type)
    : type_(type), md_(EVP_MD_fetch(nullptr, digestName(type), nullptr)), ctx_(EVP_MD_CTX_new()) {}

void Hasher::hash(std::span<const uint8_t> data, uint8_t* out) {
    start();
    add(data);
    finish(out);
}

void Hasher::start() {
    if (!md_ || !ctx_ || EVP_DigestInit_ex2(ctx_.get(), md_.get(), nullptr) != 1)
        throw std::runtime_error("hashing failed");
}

void Hasher::add(std::span<const uint8_t> piece) {
    if (EVP_DigestUpdate(ctx_.get(), piece.data(), piece.size()) != 1)
        throw std::runtime_error("hashing failed");
}

void Hasher::finish(uint8_t* out) {
    unsigned char full[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx_.get(), full, &length) != 1 || length < hashSize(type_))
        throw std::runtime_error("hashing failed");
    std::copy(full, full + hashSize(type_), out);
}

std::string toHex(std::span<const uint8_t> bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

} // namespace ostrel::signature
