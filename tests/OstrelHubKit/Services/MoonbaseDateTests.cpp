#include "Services/HttpStatus.h"
#include "Services/JsonReader.h"
#include "Services/MoonbaseDate.h"
#include "Services/MoonbaseError.h"
#include "Util/Unicode.h"

#include <chrono>

#include <gtest/gtest.h>

using namespace ostrel;
using namespace std::chrono;

namespace {

system_clock::time_point utc(int y, unsigned mo, unsigned d, int h, int mi, int s, int ms = 0) {
    // summed in milliseconds: near the clock's ends the nanosecond sum of the parts would overflow
    const sys_time<milliseconds> point =
        sys_days(year(y) / month(mo) / day(d)) + hours(h) + minutes(mi) + seconds(s) + milliseconds(ms);
    return time_point_cast<system_clock::duration>(point);
}

} // namespace

TEST(MoonbaseDate, AcceptsEveryFormTheStoreSends) {
    EXPECT_EQ(MoonbaseDate::parse("2024-03-05T14:07:09.1234567Z"), utc(2024, 3, 5, 14, 7, 9, 123));
    EXPECT_EQ(MoonbaseDate::parse("2024-03-05T14:07:09Z"), utc(2024, 3, 5, 14, 7, 9));
    EXPECT_EQ(MoonbaseDate::parse("2024-03-05T14:07:09.5"), utc(2024, 3, 5, 14, 7, 9, 500));
    EXPECT_EQ(MoonbaseDate::parse("2024-03-05T14:07:09"), utc(2024, 3, 5, 14, 7, 9));
    EXPECT_EQ(MoonbaseDate::parse("2024-03-05T14:07:09.12+02:00"), utc(2024, 3, 5, 12, 7, 9, 120));
    EXPECT_EQ(MoonbaseDate::parse("2024-03-05T23:30:00-05:30"), utc(2024, 3, 6, 5, 0, 0));
    EXPECT_EQ(MoonbaseDate::parse("2024-02-29T00:00:00Z"), utc(2024, 2, 29, 0, 0, 0));
}

TEST(MoonbaseDate, RefusesWhatIsNotADateTime) {
    for (const char* text :
         {"", "2024-03-05", "2024-03-05T14:07", "2023-02-29T00:00:00Z", "2024-13-01T00:00:00Z", "2024-03-05T24:00:00Z",
          "2024-03-05T14:60:00Z", "2024-03-05T14:07:09.Z", "2024-03-05T14:07:09+2:00", "2024-03-05 14:07:09Z",
          "2024-03-05T14:07:09ZZ", "24-03-05T14:07:09Z", "yesterday"})
        EXPECT_FALSE(MoonbaseDate::parse(text).has_value()) << text;
}

TEST(MoonbaseDate, RefusesTimesBeyondTheClockRange) {
    // the clock counts nanoseconds in 64 bits: about 1677-09-21 to 2262-04-11
    EXPECT_EQ(MoonbaseDate::parse("2262-04-11T23:47:16.854Z"), utc(2262, 4, 11, 23, 47, 16, 854));
    EXPECT_FALSE(MoonbaseDate::parse("2262-04-11T23:47:16.855Z"));
    EXPECT_FALSE(MoonbaseDate::parse("2824-03-05T14:07:09Z"));
    EXPECT_EQ(MoonbaseDate::parse("1677-09-21T00:12:43.146Z"), utc(1677, 9, 21, 0, 12, 43, 146));
    EXPECT_FALSE(MoonbaseDate::parse("1677-09-21T00:12:43.145Z"));
    EXPECT_FALSE(MoonbaseDate::parse("0001-01-01T00:00:00Z"));
}

TEST(MoonbaseDate, CutsLongFractionsToThreeDigits) {
    EXPECT_EQ(MoonbaseDate::trimFractions("09.1234567Z"), "09.123Z");
    EXPECT_EQ(MoonbaseDate::trimFractions("09.12Z .1234 .123"), "09.12Z .123 .123");
    EXPECT_EQ(MoonbaseDate::trimFractions("1.23456.78901"), "1.234.789");
}

TEST(MoonbaseDate, DateMembersFailWithUnrecognisedDate) {
    const nlohmann::json document = {{"when", "2024-03-05T14:07:09Z"}, {"bad", "2024-03-05"}};
    const JsonTree tree(document);
    const JsonReader reader(tree);
    EXPECT_EQ(reader.required<system_clock::time_point>("when"), utc(2024, 3, 5, 14, 7, 9));
    try {
        reader.required<system_clock::time_point>("bad");
        ADD_FAILURE() << "a date without a time was accepted";
    } catch (const DecodingError& error) {
        EXPECT_EQ(error.reason(), "Unrecognised date");
        EXPECT_EQ(error.path(), "bad");
    }
}

TEST(MoonbaseError, MessagesAreTheStoreWording) {
    EXPECT_STREQ(MoonbaseError::notFound("Product x").what(), "Product x was not found.");
    EXPECT_STREQ(MoonbaseError::forbidden("Your licence is suspended.").what(), "Your licence is suspended.");
    EXPECT_STREQ(MoonbaseError::server(503, "").what(), "The store returned 503. ");
    EXPECT_STREQ(MoonbaseError::server(500, "Internal Server Error").what(),
                 "The store returned 500. Internal Server Error");
    EXPECT_STREQ(MoonbaseError::decoding("Missing value at id.").what(),
                 "The store sent a response the app could not read. Missing value at id.");
    EXPECT_STREQ(MoonbaseError::blockedURL("https://evil.example/x").what(),
                 "Refused to contact https://evil.example/x.");
    EXPECT_STREQ(MoonbaseError::notSignedIn().what(), "Sign in to continue.");
    EXPECT_STREQ(MoonbaseError::invalidCredentials().what(),
                 "That email and password did not match an Ostrel store account.");
    EXPECT_STREQ(MoonbaseError::unexpectedAnswer(302).what(),
                 "The store answered in a way the app did not expect. Try again later.");
}

TEST(MoonbaseError, IdentityMessagesNameOstrelID) {
    using Service = MoonbaseError::Service;
    EXPECT_STREQ(MoonbaseError::server(429, "Slow down", Service::identity).what(),
                 "Ostrel ID returned 429. Slow down");
    EXPECT_STREQ(MoonbaseError::decoding("Missing value at token.", Service::identity).what(),
                 "Ostrel ID sent a response the app could not read. Missing value at token.");
    EXPECT_STREQ(MoonbaseError::invalidCredentials(Service::identity).what(),
                 "Ostrel ID did not accept this sign-in. Try again.");
    EXPECT_STREQ(MoonbaseError::unexpectedAnswer(301, Service::identity).what(),
                 "Ostrel ID answered in a way the app did not expect. Try again later.");
    EXPECT_NE(MoonbaseError::server(500, "x", Service::identity), MoonbaseError::server(500, "x"));
    EXPECT_EQ(MoonbaseError::invalidCredentials(Service::identity).service(), Service::identity);
}

// Outside text is kept up to maxTextCharacters user-perceived characters, cut only between them.
TEST(MoonbaseError, OutsideTextIsCutAtACharacterBoundary) {
    const auto limit = MoonbaseError::maxTextCharacters;
    const auto repeated = [](std::string_view piece, std::size_t times) {
        std::string text;
        for (std::size_t i = 0; i < times; ++i)
            text += piece;
        return text;
    };
    EXPECT_EQ(MoonbaseError::forbidden(std::string(limit, 'a')).payload().text, std::string(limit, 'a'));
    EXPECT_EQ(MoonbaseError::forbidden(std::string(limit + 1, 'a')).payload().text, std::string(limit, 'a') + "…");
    // "e" with a combining acute accent: three bytes, one character.
    const std::string accented = "e\xcc\x81";
    EXPECT_EQ(MoonbaseError::notFound(repeated(accented, limit)).payload().text, repeated(accented, limit));
    EXPECT_EQ(MoonbaseError::notFound(repeated(accented, limit + 1)).payload().text, repeated(accented, limit) + "…");
    // A runaway text costs no more than a short one, and one endless character is dropped whole.
    EXPECT_EQ(MoonbaseError::server(500, std::string(5 << 20, 'w')).payload().text, std::string(limit, 'w') + "…");
    // One endless character is looked at only as far as a window of the text reaches.
    const auto endless = "e" + repeated("\xcc\x81", 1 << 16);
    const auto cut = MoonbaseError::blockedURL(endless).payload().text;
    ASSERT_TRUE(cut.ends_with("…"));
    const auto kept = cut.substr(0, cut.size() - std::string("…").size());
    EXPECT_TRUE(endless.starts_with(kept));
    EXPECT_TRUE(Unicode::isValidUtf8(kept) && kept.size() % 2 == 1); // "e" and whole accents only
    EXPECT_LE(kept.size(), 32 * limit);
    // Broken UTF-8 never reaches a sentence.
    EXPECT_EQ(MoonbaseError::decoding("bad \xff byte").payload().text, "bad \xef\xbf\xbd byte");
}

TEST(MoonbaseError, EqualByCaseAndPayload) {
    EXPECT_EQ(MoonbaseError::server(404, "x"), MoonbaseError::server(404, "x"));
    EXPECT_NE(MoonbaseError::server(404, "x"), MoonbaseError::server(500, "x"));
    EXPECT_NE(MoonbaseError::notFound("x"), MoonbaseError::forbidden("x"));
    EXPECT_NE(MoonbaseError::notFound("x"), MoonbaseError::notFound("y"));
    EXPECT_EQ(MoonbaseError::notSignedIn().kind(), MoonbaseError::Kind::notSignedIn);
    EXPECT_EQ(MoonbaseError::server(429, "slow").payload().status, 429);
}

TEST(HttpStatus, ReasonPhrasesFallBackToTheirClass) {
    EXPECT_EQ(HttpStatus::reasonPhrase(500), "Internal Server Error");
    EXPECT_EQ(HttpStatus::reasonPhrase(404), "Not Found");
    EXPECT_EQ(HttpStatus::reasonPhrase(429), "Too Many Requests");
    EXPECT_EQ(HttpStatus::reasonPhrase(499), "Client Error");
    EXPECT_EQ(HttpStatus::reasonPhrase(599), "Server Error");
    EXPECT_EQ(HttpStatus::reasonPhrase(100), "Continue");
    EXPECT_EQ(HttpStatus::reasonPhrase(0), "Unknown Status");
    EXPECT_EQ(HttpStatus::reasonPhrase(600), "Unknown Status");
}
