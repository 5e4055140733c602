#include "Services/SessionTokens.h"

#include "Services/JsonReader.h"
#include "Util/Base64.h"
#include "Util/Error.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

namespace ostrel {

namespace {

using Clock = SessionTokens::Clock;

// Seconds from the Unix epoch to 2001-01-01 00:00:00 UTC, the reference date of the stored form.
constexpr double referenceDateOffset = 978307200.0;

// The instant `seconds` after the Unix epoch, or none when the clock cannot hold it.
std::optional<Clock::time_point> instantAfterUnixEpoch(double seconds) {
    using Seconds = std::chrono::duration<double>;
    // One second short of the clock's range, so that adding the fraction cannot overflow.
    const auto range = std::chrono::duration_cast<std::chrono::seconds>(Clock::duration::max()).count() - 1;
    const double limit = static_cast<double>(range);
    if (!std::isfinite(seconds) || std::abs(seconds) >= limit)
        return std::nullopt;
    // Whole seconds and the fraction are converted apart: a double holding nanoseconds since 1970
    // would lose the last digits.
    const double whole = std::floor(seconds);
    auto fraction = std::chrono::round<Clock::duration>(Seconds(seconds - whole));
    return Clock::time_point(std::chrono::seconds(static_cast<int64_t>(whole)) + fraction);
}

double secondsSinceUnixEpoch(Clock::time_point instant) {
    return std::chrono::duration<double>(instant.time_since_epoch()).count();
}

std::vector<std::string_view> nonEmptyPieces(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = std::min(text.find(separator, start), text.size());
        if (end > start)
            pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

// base64url without padding, as in a JWT, turned into standard padded base64.
std::string standardBase64(std::string_view base64Url) {
    std::string text(base64Url);
    std::replace(text.begin(), text.end(), '-', '+');
    std::replace(text.begin(), text.end(), '_', '/');
    while (text.size() % 4 != 0)
        text.push_back('=');
    return text;
}

} // namespace

SessionTokens SessionTokens::issued(std::string accessToken, std::string refreshToken, Clock::time_point now) {
    auto expiry = JWT::expiry(accessToken);
    return {std::move(accessToken), std::move(refreshToken), expiry.value_or(now + fallbackLifetime)};
}

bool SessionTokens::needsRefresh(Clock::time_point now) const {
    return expiresAt - now < refreshMargin;
}

std::string SessionTokens::toJson() const {
    nlohmann::json object = {{"accessToken", accessToken},
                             {"refreshToken", refreshToken},
                             {"expiresAt", secondsSinceUnixEpoch(expiresAt) - referenceDateOffset}};
    try {
        return object.dump();
    } catch (const nlohmann::json::exception&) {
        throw Error("The session could not be saved because a token is not valid text.");
    }
}

std::optional<SessionTokens> SessionTokens::fromJson(std::string_view json) {
    try {
        const auto document = JsonTree::parse(json);
        const JsonReader in(document);
        auto expiresAt = instantAfterUnixEpoch(in.required<double>("expiresAt") + referenceDateOffset);
        if (!expiresAt)
            return std::nullopt;
        return SessionTokens{in.required<std::string>("accessToken"), in.required<std::string>("refreshToken"),
                             *expiresAt};
    } catch (const DecodingError&) {
        return std::nullopt; // a stored form that does not decode holds no session
    }
}

namespace JWT {

std::optional<Clock::time_point> expiry(std::string_view token) {
    auto pieces = nonEmptyPieces(token, '.');
    if (pieces.size() != 3)
        return std::nullopt;
    auto payload = base64Decode(standardBase64(pieces[1]));
    if (!payload)
        return std::nullopt;
    try {
        const auto claims = JsonTree::parse(*payload);
        return instantAfterUnixEpoch(JsonReader(claims).required<double>("exp"));
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}

} // namespace JWT

} // namespace ostrel
