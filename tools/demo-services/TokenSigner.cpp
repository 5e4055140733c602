#include "TokenSigner.h"

#include "DemoText.h"
#include "Util/AtomicFile.h"
#include "Util/Base64.h"

#include <array>
#include <stdexcept>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

namespace ostrel::demo {

namespace {

int64_t seconds(TokenSigner::Clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

} // namespace

TokenSigner::TokenSigner(const std::filesystem::path& keyFile)
    : key_(AtomicFile::read(keyFile, 64 * 1024).value_or("")) {
    if (key_.size() == keySize)
        return;
    key_.assign(keySize, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(key_.data()), static_cast<int>(key_.size())) != 1)
        throw std::runtime_error("no random bytes for the token key");
    std::filesystem::create_directories(keyFile.parent_path());
    AtomicFile::write(keyFile, key_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

std::string TokenSigner::sign(std::string_view signingInput) const {
    std::array<unsigned char, EVP_MAX_MD_SIZE> mac{};
    unsigned length = 0;
    if (!HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()),
              reinterpret_cast<const unsigned char*>(signingInput.data()), signingInput.size(), mac.data(), &length))
        throw std::runtime_error("HMAC failed");
    return base64UrlEncode(std::string_view(reinterpret_cast<const char*>(mac.data()), length));
}

std::string TokenSigner::issue(nlohmann::json claims, std::chrono::seconds lifetime, Clock::time_point now) const {
    claims["iat"] = seconds(now);
    claims["exp"] = seconds(now) + lifetime.count();
    const std::string input = base64UrlEncode(R"({"alg":"HS256","typ":"JWT"})") + "." + base64UrlEncode(claims.dump());
    return input + "." + sign(input);
}

std::optional<nlohmann::json> TokenSigner::verify(std::string_view token, Clock::time_point now) const {
    const auto lastDot = token.rfind('.');
    const auto firstDot = token.find('.');
    if (firstDot == std::string_view::npos || lastDot == firstDot)
        return std::nullopt;
    const std::string expected = sign(token.substr(0, lastDot));
    const auto given = token.substr(lastDot + 1);
    if (given.size() != expected.size() || CRYPTO_memcmp(given.data(), expected.data(), given.size()) != 0)
        return std::nullopt;
    const auto payload = base64UrlDecode(token.substr(firstDot + 1, lastDot - firstDot - 1));
    if (!payload)
        return std::nullopt;
    auto claims = nlohmann::json::parse(*payload, nullptr, false);
    if (!claims.is_object() || !claims.contains("exp") || !claims["exp"].is_number_integer() ||
        claims["exp"].get<int64_t>() <= seconds(now))
        return std::nullopt;
    return claims;
}

} // namespace ostrel::demo
