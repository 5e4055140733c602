#pragma once

#include "Util/OpenSslPtr.h"
#include "Verify/Signature/ByteReader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace ostrel::signature {

// The hash kinds a CodeDirectory may use, with their on-disk numbers.
enum class HashType : uint8_t {
    sha1 = 1,
    sha256 = 2,
    sha256Truncated = 3, // SHA-256 cut to 20 bytes
    sha384 = 4,
};

std::optional<HashType> hashTypeFromNumber(uint8_t number);
// Bytes of one hash as stored in a CodeDirectory.
size_t hashSize(HashType type);
// Higher is stronger: the strongest CodeDirectory gives the cdhash that
// requirements and tickets use.
int hashStrength(HashType type);
std::string hashName(HashType type);
// The DER object identifier of the full digest, as used in the signature's
// hash-agility attribute.
std::string hashOid(HashType type);

// One hash of `type` over `data`, cut to hashSize(type).
Bytes digest(HashType type, std::span<const uint8_t> data);

// Hashes many small pieces with one reusable context (page hashing). The
// digest is fetched from its provider once: an implicit fetch for every 4 KiB
// page would cost a good part of hashing the page itself.
class Hasher {
public:
    explicit Hasher(HashType type);
    // One hash of `data`: writes hashSize(type) bytes to `out`.
    void hash(std::span<const uint8_t> data, uint8_t* out);
    // The same in pieces: start, add any number of pieces, finish.
    void start();
    void add(std::span<const uint8_t> piece);
    void finish(uint8_t* out);

private:
    HashType type_;
    OpenSslPtr<EVP_MD, EVP_MD_free> md_;
    EvpMdCtxPtr ctx_;
};

std::string toHex(std::span<const uint8_t> bytes);

} // namespace ostrel::signature
