#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// One service session: a pair of bearer tokens and the moment the access token runs out.
struct SessionTokens {
    using Clock = std::chrono::system_clock;

    std::string accessToken;
    std::string refreshToken;
    Clock::time_point expiresAt;

    // Seconds of validity below which the session is renewed before use.
    static constexpr std::chrono::seconds refreshMargin{60};
    // Lifetime assumed for an access token whose expiry cannot be read.
    static constexpr std::chrono::seconds fallbackLifetime{900};

    // A session just issued by a service: it expires when the access token says, or
    // `fallbackLifetime` after `now` when the token does not say.
    static SessionTokens issued(std::string accessToken, std::string refreshToken, Clock::time_point now);

    // True when less than `refreshMargin` remains before `expiresAt`, and once it has passed.
    bool needsRefresh(Clock::time_point now) const;

    // The stored form: a JSON object with exactly "accessToken", "refreshToken" and "expiresAt",
    // the last as a number of seconds since 2001-01-01 00:00:00 UTC. Throws ostrel::Error when a
    // token is not valid UTF-8 text.
    std::string toJson() const;
    // The session held by stored JSON, or none when it does not decode.
    static std::optional<SessionTokens> fromJson(std::string_view json);

    bool operator==(const SessionTokens&) const = default;
};

// Reading the expiry out of an access token. The signature is not checked: the token is
// only read to learn when to renew it.
namespace JWT {

// The instant named by the numeric "exp" member of the token's payload, or none when the token
// is not three non-empty dot-separated pieces, the payload is not base64url JSON holding an
// object, "exp" is missing or not a number, or the instant lies outside what the clock can hold.
std::optional<SessionTokens::Clock::time_point> expiry(std::string_view token);

} // namespace JWT

} // namespace ostrel
