#pragma once

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::demo {

// Issues and checks HS256 JSON Web Tokens. The key is kept in the state folder, so that tokens
// stay valid across restarts as a real service's do. The hub never checks the signature; the
// demo services do, so that an expired or edited token gets the 401 a real service would send.
class TokenSigner {
public:
    using Clock = std::chrono::system_clock;

    static constexpr size_t keySize = 32;

    // Reads the key from `keyFile`, or makes one there (readable by the user alone) when the
    // file is missing or does not hold a key. Throws std::runtime_error when none can be made.
    explicit TokenSigner(const std::filesystem::path& keyFile);

    // A token holding `claims` plus "iat" and "exp" (`now` + `lifetime`, whole seconds).
    std::string issue(nlohmann::json claims, std::chrono::seconds lifetime, Clock::time_point now) const;
    // The claims of a token signed here whose "exp" lies after `now`, or none.
    std::optional<nlohmann::json> verify(std::string_view token, Clock::time_point now) const;

private:
    std::string sign(std::string_view signingInput) const;

    std::string key_;
};

} // namespace ostrel::demo
