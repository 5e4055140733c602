#include "Services/OstrelIDRecords.h"
#include "Services/Review.h"
#include "Services/ReviewDraft.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

using namespace ostrel;

namespace {

std::string repeated(const std::string& piece, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

// One user-perceived character each, of several code points.
const std::string eAcute = "e\xCC\x81";                                    // e + combining acute accent
const std::string family = "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"; // woman, zero-width joiner, girl

ReviewDraft draft(int64_t rating, std::string title, std::string body, std::optional<std::string> name = {}) {
    return {.productId = "p-synth", .rating = rating, .title = title, .body = body, .displayName = name};
}

TEST(ReviewDraft, ReportsTheFirstBrokenRuleAtItsLimit) {
    const std::string title = "Warm and wide";
    const std::string body = "Sounds great.";
    const struct {
        ReviewDraft draft;
        std::optional<std::string> problem;
    } cases[] = {
        {draft(0, "", ""), "Choose a rating from one to five stars."},
        {draft(6, title, body), "Choose a rating from one to five stars."},
        {draft(1, " \n\t\r\n ", body), "Add a title."},
        {draft(5, repeated(eAcute, 80), body), std::nullopt},
        {draft(5, repeated(eAcute, 81), body), "Keep the title under 80 characters."},
        {draft(3, title, "\n \xE2\x80\xA8"), "Write a few words about it."},
        {draft(3, title, repeated(family, 2000)), std::nullopt},
        {draft(3, title, repeated("a", 2001)), "Keep the review under 2000 characters."},
        {draft(3, title, body, " \n" + repeated(family, 40) + "  "), std::nullopt},
        {draft(3, title, body, repeated(eAcute, 41)), "Keep the name under 40 characters."},
        {draft(3, title, body, "   "), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.draft.problem(), c.problem) << c.draft.title.substr(0, 20) << " / " << c.draft.rating;
}

TEST(ReviewDraft, NormalizingTrimsTextAndDropsAnEmptyName) {
    const auto normal = draft(4, "\t Warm \n", "\xE2\x80\x83 Line one\nline two \n", " Ann\xC2\xA0").normalized();
    EXPECT_EQ(normal, draft(4, "Warm", "Line one\nline two", "Ann"));
    EXPECT_EQ(draft(4, "T", "B", " \n ").normalized().displayName, std::nullopt);
    EXPECT_EQ(nlohmann::json(draft(4, "T", "B").normalized()),
              nlohmann::json::parse(R"({"productId":"p-synth","rating":4,"title":"T","body":"B"})"));
}

TEST(Review, DateAndStarShares) {
    Review review{.createdAt = "2026-03-01T10:00:00Z"};
    EXPECT_EQ(review.date(), std::chrono::sys_days{std::chrono::year{2026} / 3 / 1} + std::chrono::hours{10});
    review.updatedAt = "last week";
    EXPECT_EQ(review.date(), std::nullopt); // an unreadable edit time does not fall back
    EXPECT_EQ(Review{}.date(), std::nullopt);

    const ReviewSummary none{.count = 0, .distribution = std::map<std::string, int64_t>{{"5", 3}}};
    const ReviewSummary four{.count = 4, .distribution = std::map<std::string, int64_t>{{"5", 3}}};
    for (int64_t stars = 1; stars <= 5; ++stars)
        EXPECT_EQ(none.share(stars), 0.0);
    EXPECT_EQ(four.share(5), 0.75);
    EXPECT_EQ(four.share(4), 0.0);
    EXPECT_EQ(ReviewSummary{.count = 4}.share(5), 0.0);
}

// Every field present: decoding and encoding again gives the service's own document back, so
// every key is spelled as the service spells it on both ways.
template <class Record>
void expectKeysKept(const char* text) {
    const auto document = nlohmann::json::parse(text);
    EXPECT_EQ(nlohmann::json(decodeJson<Record>(document)), document) << text;
}

TEST(IdentityRecords, KeepTheServicesKeys) {
    expectKeysKept<OstrelIDProfile>(R"({"user":{"id":"u1","email":"a@b.c","createdAt":"t1","emailVerifiedAt":"t2"},
        "externalAccounts":[{"provider":"github","email":"a@b.c","linkedAt":"t3"}],"linkedEmails":["d@e.f"],
        "recoveryCodesRemaining":8,"products":["p1"]})");
    expectKeysKept<OstrelIDSession>(
        R"({"id":"s1","label":"Studio Mac","current":true,"createdAt":"t1","lastSeenAt":"t2"})");
    expectKeysKept<OstrelIDPurchase>(R"({"id":"o1","productId":"p1","source":"store","buyerEmail":"a@b.c",
        "licenseeEmail":"d@e.f","status":"paid","purchasedAt":"t1","gifted":false})");
    const std::string review = R"({"id":"r1","productId":"p1","rating":4,"title":"T","body":"B","displayName":"D",
        "verifiedPurchase":true,"createdAt":"t1","updatedAt":"t2","edited":true,"hidden":false})";
    expectKeysKept<ReviewPage>((R"({"productId":"p1","summary":{"count":2,"average":4.5,"distribution":{"4":1,"5":1}},
        "reviews":[)" + review + R"(],"nextCursor":"c2"})")
                                   .c_str());
    expectKeysKept<MyReview>((R"({"eligible":true,"basis":"owner","review":)" + review + "}").c_str());
    expectKeysKept<PostedReview>((R"({"created":false,"review":)" + review + "}").c_str());
    expectKeysKept<ReviewDraft>(R"({"productId":"p1","rating":2,"title":"T","body":"B","displayName":"D"})");
    EXPECT_THROW(decodeJson<Review>(nlohmann::json::parse(R"({"id":"r1","productId":"p1","rating":4,"title":"T",
        "body":"B","displayName":"D"})")),
                 DecodingError);
}

} // namespace
