#include "Verify/Ed25519.h"

#include "Util/Base64.h"
#include "Util/Log.h"
#include "Util/OpenSslPtr.h"
#include "Verify/Signature/MappedFile.h"

#include <exception>

namespace ostrel::Ed25519 {
namespace {

bool verifyBytes(std::string_view publicKey, const unsigned char* message, std::size_t length,
                 std::string_view signature) {
    // OpenSSL itself refuses a key or a signature of any other size than Ed25519's.
    const EvpPkeyPtr key(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publicKey.data()), publicKey.size()));
    const EvpMdCtxPtr context(EVP_MD_CTX_new());
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    // Ed25519 hashes the message itself, so the whole message goes in one call.
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                            message, length) == 1;
}

} // namespace

std::optional<std::string> publicKeyFromBase64(std::string_view text) {
    auto key = base64Decode(text);
    if (!key || key->size() != publicKeySize)
        return std::nullopt;
    return key;
}

bool verify(std::string_view publicKey, std::string_view message, std::string_view signature) {
    return verifyBytes(publicKey, reinterpret_cast<const unsigned char*>(message.data()), message.size(), signature);
}

bool verifyFile(std::string_view publicKey, const std::filesystem::path& file, std::string_view signature) {
    try {
        const signature::MappedFile mapped(file);
        const auto bytes = mapped.bytes();
        return !bytes.empty() && verifyBytes(publicKey, bytes.data(), bytes.size(), signature);
    } catch (const std::exception& e) {
        Log::error(Log::Category::verify, "cannot read " + file.string() + " to check its signature: " + e.what());
        return false;
    }
}

} // namespace ostrel::Ed25519
