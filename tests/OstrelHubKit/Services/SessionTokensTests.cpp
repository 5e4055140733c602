#include "Services/InMemoryTokenPersistence.h"
#include "Services/SessionTokens.h"
#include "Util/Base64.h"
#include "Util/Error.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using ostrel::SessionTokens;
namespace JWT = ostrel::JWT;

namespace {

SessionTokens::Clock::time_point unixTime(std::chrono::nanoseconds sinceEpoch) {
    return SessionTokens::Clock::time_point(sinceEpoch);
}

} // namespace

TEST(JWT, ReadsExpiryFromUnpaddedBase64UrlPayload) {
    // Payload {"exp":1700000000,"n":"??>~"}: its base64url has "_" and "-" and needs padding.
    EXPECT_EQ(JWT::expiry("eyJhbGciOiJIUzI1NiJ9.eyJleHAiOjE3MDAwMDAwMDAsIm4iOiI_Pz5-In0.sig"), unixTime(1700000000s));
    // Payload {"sub":"ü?","exp":1700000000.25}: a fractional exp is that exact instant.
    EXPECT_EQ(JWT::expiry("h.eyJzdWIiOiLDvD8iLCJleHAiOjE3MDAwMDAwMDAuMjV9.s"), unixTime(1700000000s + 250ms));
    // Empty pieces are dropped before counting.
    EXPECT_EQ(JWT::expiry(".h..eyJleHAiOjE3MDAwMDAwMDAsIm4iOiI_Pz5-In0.s."), unixTime(1700000000s));
}

TEST(JWT, UnreadableTokensHaveNoExpiry) {
    auto token = [](std::string_view payloadJson) { return "h." + ostrel::base64UrlEncode(payloadJson) + ".s"; };
    EXPECT_EQ(JWT::expiry(token(R"({"exp":"1700000000"})")), std::nullopt);
    EXPECT_EQ(JWT::expiry(token(R"({"iat":1700000000})")), std::nullopt);
    EXPECT_EQ(JWT::expiry(token(R"([1700000000])")), std::nullopt);
    EXPECT_EQ(JWT::expiry(token(R"({"exp":1e300})")), std::nullopt);
    // The clock reaches into the year 2262; later instants cannot be held.
    EXPECT_EQ(JWT::expiry(token(R"({"exp":9223372034.5})")), unixTime(9223372034s + 500ms));
    EXPECT_EQ(JWT::expiry(token(R"({"exp":-9223372034})")), unixTime(-9223372034s));
    EXPECT_EQ(JWT::expiry(token(R"({"exp":9223372035})")), std::nullopt);
    EXPECT_EQ(JWT::expiry(token(R"({"exp":-9223372035})")), std::nullopt);
    EXPECT_EQ(JWT::expiry(token("not json")), std::nullopt);
    EXPECT_EQ(JWT::expiry("h." + ostrel::base64UrlEncode(R"({"exp":1})")), std::nullopt);
    EXPECT_EQ(JWT::expiry("a.b.c.d"), std::nullopt);
    EXPECT_EQ(JWT::expiry("h.e*J9.s"), std::nullopt);
    // Five payload characters cannot be base64, whatever padding is added.
    EXPECT_EQ(JWT::expiry("h.eyJle.s"), std::nullopt);
    EXPECT_EQ(JWT::expiry(""), std::nullopt);
}

TEST(SessionTokens, IssuedSessionFallsBackToFifteenMinutes) {
    const auto now = unixTime(1800000000s);
    auto fromJwt = SessionTokens::issued("h.eyJleHAiOjE3MDAwMDAwMDAsIm4iOiI_Pz5-In0.s", "r", now);
    EXPECT_EQ(fromJwt.expiresAt, unixTime(1700000000s));
    EXPECT_EQ(fromJwt.refreshToken, "r");
    EXPECT_EQ(SessionTokens::issued("opaque-token", "r", now).expiresAt, now + 900s);
    EXPECT_EQ(SessionTokens::issued("h.e30.s", "r", now).expiresAt, now + 900s);
}

TEST(SessionTokens, NeedsRefreshWithinSixtySeconds) {
    const SessionTokens tokens{"a", "r", unixTime(1700000000s)};
    EXPECT_TRUE(tokens.needsRefresh(tokens.expiresAt - 59s));
    EXPECT_FALSE(tokens.needsRefresh(tokens.expiresAt - 60s));
    EXPECT_TRUE(tokens.needsRefresh(tokens.expiresAt - 60s + 1ns));
    EXPECT_FALSE(tokens.needsRefresh(tokens.expiresAt - 61s));
    EXPECT_TRUE(tokens.needsRefresh(tokens.expiresAt));
    EXPECT_TRUE(tokens.needsRefresh(tokens.expiresAt + 3600s));
}

TEST(SessionTokens, StoredFormCountsSecondsFrom2001) {
    // 2001-01-01 00:00:00 UTC is Unix time 978307200.
    const SessionTokens tokens{"acc", "ref", unixTime(978307200s + 100s + 500ms)};
    auto json = nlohmann::json::parse(tokens.toJson());
    EXPECT_EQ(json, nlohmann::json::parse(R"({"accessToken":"acc","refreshToken":"ref","expiresAt":100.5})"));
    EXPECT_EQ(SessionTokens::fromJson(tokens.toJson()), tokens);
    EXPECT_EQ(SessionTokens::fromJson(R"({"accessToken":"a","refreshToken":"r","expiresAt":-1})"),
              (SessionTokens{"a", "r", unixTime(978307199s)}));
}

TEST(SessionTokens, StoredFormThatDoesNotDecodeIsNoSession) {
    EXPECT_EQ(SessionTokens::fromJson(R"({"accessToken":"a","refreshToken":"r","expiresAt":"2026-01-01T00:00:00Z"})"),
              std::nullopt);
    EXPECT_EQ(SessionTokens::fromJson(R"({"accessToken":"a","expiresAt":1})"), std::nullopt);
    EXPECT_EQ(SessionTokens::fromJson(R"({"accessToken":1,"refreshToken":"r","expiresAt":1})"), std::nullopt);
    EXPECT_EQ(SessionTokens::fromJson(R"({"accessToken":"a","refreshToken":"r","expiresAt":1e300})"), std::nullopt);
    EXPECT_EQ(SessionTokens::fromJson(R"(["a","r",1])"), std::nullopt);
    EXPECT_EQ(SessionTokens::fromJson("{"), std::nullopt);
    EXPECT_EQ(SessionTokens::fromJson(""), std::nullopt);
}

TEST(SessionTokens, TokenThatIsNotTextIsNotStored) {
    const SessionTokens tokens{"bad\xff", "r", unixTime(0s)};
    EXPECT_THROW(tokens.toJson(), ostrel::Error);
}

TEST(InMemoryTokenPersistence, KeepsOneSessionUntilCleared) {
    ostrel::InMemoryTokenPersistence store;
    EXPECT_EQ(store.load(), std::nullopt);
    EXPECT_NO_THROW(store.clear());
    store.save({"a1", "r1", unixTime(1s)});
    store.save({"a2", "r2", unixTime(2s)});
    EXPECT_EQ(store.load(), (SessionTokens{"a2", "r2", unixTime(2s)}));
    store.clear();
    EXPECT_EQ(store.load(), std::nullopt);
}

TEST(Base64, DecodesOnlyWellFormedText) {
    EXPECT_EQ(ostrel::base64Decode("Zm9vYmFy"), "foobar");
    EXPECT_EQ(ostrel::base64Decode("Zm9vYg=="), "foob");
    EXPECT_EQ(ostrel::base64Decode("Zm9vYmE="), "fooba");
    EXPECT_EQ(ostrel::base64Decode(""), "");
    EXPECT_EQ(ostrel::base64Decode("Zm9vYg"), std::nullopt);
    EXPECT_EQ(ostrel::base64Decode("Zm9v=mFy"), std::nullopt);
    EXPECT_EQ(ostrel::base64Decode("Zg==Zg=="), std::nullopt);
    EXPECT_EQ(ostrel::base64Decode("Z==="), std::nullopt);
    EXPECT_EQ(ostrel::base64Decode("Zm9-"), std::nullopt);
    EXPECT_EQ(ostrel::base64Encode("fooba"), "Zm9vYmE=");
    EXPECT_EQ(ostrel::base64UrlEncode("\xfb\xff\xbf"), "-_-_");
    EXPECT_EQ(ostrel::base64UrlEncode("f"), "Zg");
}
