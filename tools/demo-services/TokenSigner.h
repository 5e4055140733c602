#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::demo {

// Issues and checks HS256 JSON Web Tokens with a key made at start-up, so tokens of an earlier
// run are refused like any forged one. The hub never checks the signature; the demo services do,
// so that a stale or edited token gets the 401 a real service would send.
class TokenSigner {
public:
    using Clock = std::chrono::system_clock;

    TokenSigner();

    // A token holding `claims` plus "iat" and "exp" (`now` + `lifetime`, whole seconds).
    std::string issue(nlohmann::json claims, std::chrono::seconds lifetime, Clock::time_point now) const;
    // The claims of a token signed here whose "exp" lies after `now`, or none.
    std::optional<nlohmann::json> verify(std::string_view token, Clock::time_point now) const;

private:
    std::string sign(std::string_view signingInput) const;

    std::string key_;
};

} // namespace ostrel::demo
