// Ratings and reviews in the app model against the demo services over real HTTPS: pages and
// "More Reviews", the user's own review, posting and editing through the review form with
// drafts at their limits, the moderation notice, the service's refusals in the form's words,
// and the prepared reviews of a snapshot run.
#include "Catalog/SnapshotCache.h"
#include "DemoHub.h"
#include "EventLoop.h"
#include "Model/AppModel.h"
#include "Model/BannerList.h"
#include "Model/ProductReviews.h"
#include "PrivateSessionBus.h"
#include "ReviewsDemo.h"
#include "TempDir.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <fstream>
#include <numeric>
#include <set>

#include <gmock/gmock.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;
using test_support::HubFolders;
using ::testing::ElementsAre;

std::vector<QString> bannerTexts(const BannerList& banners) {
    std::vector<QString> texts;
    for (int row = 0; row < banners.rowCount(); ++row)
        texts.push_back(banners.data(banners.index(row), BannerList::textRole).toString());
    return texts;
}

std::vector<QString> titlesIn(const ReviewListModel& list) {
    std::vector<QString> titles;
    for (const auto& row : list.rows())
        titles.push_back(row.title);
    return titles;
}

QString repeated(const QString& piece, int times) {
    QString text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

struct ReviewsTest : ::testing::Test {
    test_support::ReviewsDemo demo;
    HubFolders hub;

    void SetUp() override { OSTREL_REQUIRE_PRIVATE_SESSION_BUS(); }

    ModelEnvironment environment() { return hub.environmentFor(demo.config, demo.services.codeSigningRoot()); }
    std::unique_ptr<AppModel> model() {
        auto environment = this->environment();
        environment.bannerLifetimes = {.failure = std::chrono::hours(1), .other = std::chrono::hours(1)};
        return std::make_unique<AppModel>(std::move(environment));
    }
    // A model signed in to Ostrel ID as `email`, with the user's own review of `productId` loaded.
    std::unique_ptr<AppModel> signedInModel(const std::string& email, const std::string& productId) {
        auto app = model();
        demo.signIn(app->services().ostrelID, email);
        test::await(app->loadOstrelID());
        EXPECT_TRUE(app->ostrelSignedIn());
        test::await(app->reviews()->loadReviews(productId, false));
        test::await(app->reviews()->loadMyReview(productId));
        return app;
    }
    // Reviews by `count` other people of a free product, the newest last; their ratings.
    std::vector<int> postOthers(const std::string& productId, int count, int first = 0) {
        std::vector<int> ratings;
        for (int i = first; i < first + count; ++i) {
            ratings.push_back(1 + i % 5);
            demo.postAs("fan" + std::to_string(i) + "@ostrel.test", productId, ratings.back(),
                        "Review " + std::to_string(i));
        }
        return ratings;
    }
};

// Fills the open form and posts it.
void post(ReviewForm& form, int rating, const QString& title, const QString& body, const QString& name = {}) {
    form.setRating(rating);
    form.setTitle(title);
    form.setBody(body);
    form.setDisplayName(name);
    test::await(form.submit());
}

// -- Pages ----------------------------------------------------------------------------------------

TEST_F(ReviewsTest, TheFirstPageThenMoreReviewsUntilTheEnd) {
    const auto ratings = postOthers("meter-one", 23);
    auto app = model();
    auto& reviews = *app->reviews();
    auto* list = reviews.list(QStringLiteral("meter-one"));
    EXPECT_EQ(reviews.list(QStringLiteral("meter-one")), list); // one list per product for the run
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_FALSE(list->loaded());
    EXPECT_EQ(list->count(), 0);

    test::await(reviews.loadReviews("meter-one", false));
    ASSERT_TRUE(list->loaded());
    EXPECT_EQ(list->count(), 10);
    EXPECT_TRUE(list->hasMore());
    // The summary counts every review, not only this page's.
    EXPECT_EQ(list->ratingCount(), 23);
    EXPECT_EQ(list->ratingCountText(), QStringLiteral("23 ratings"));
    const double mean = std::accumulate(ratings.begin(), ratings.end(), 0.0) / double(ratings.size());
    EXPECT_EQ(list->averageText(), QString::number(mean, 'f', 1));
    const auto fiveStars = std::count(ratings.begin(), ratings.end(), 5);
    EXPECT_DOUBLE_EQ(list->shares().front().toDouble(), double(fiveStars) / 23.0);
    // The newest first.
    EXPECT_EQ(titlesIn(*list).front(), QStringLiteral("Review 22"));
    EXPECT_EQ(titlesIn(*list).back(), QStringLiteral("Review 13"));
    const auto& first = list->rows().front();
    EXPECT_EQ(first.author, QStringLiteral("fan22"));
    EXPECT_EQ(first.rating, ratings.back());
    EXPECT_TRUE(first.verifiedPurchase == false && !first.edited && !first.hidden);
    EXPECT_FALSE(first.dateText.isEmpty());

    test::await(reviews.loadReviews("meter-one", true));
    EXPECT_EQ(list->count(), 20);
    EXPECT_TRUE(list->hasMore());
    test::await(reviews.loadReviews("meter-one", true));
    EXPECT_EQ(list->count(), 23);
    EXPECT_FALSE(list->hasMore());
    const auto titles = titlesIn(*list);
    std::set<QString> distinct(titles.begin(), titles.end());
    EXPECT_EQ(distinct.size(), 23u);
    EXPECT_EQ(titles.back(), QStringLiteral("Review 0"));

    // Past the last page nothing is asked.
    reviews.loadMore(QStringLiteral("meter-one"));
    EXPECT_FALSE(list->loading());
    EXPECT_EQ(list->count(), 23);

    // The next first page replaces the pages kept so far.
    test::await(reviews.loadReviews("meter-one", false));
    EXPECT_EQ(list->count(), 10);
    EXPECT_TRUE(list->hasMore());

    // One rating is said in the singular.
    test::await(reviews.loadReviews("tidal-delay", false));
    EXPECT_EQ(reviews.list(QStringLiteral("tidal-delay"))->ratingCountText(), QStringLiteral("1 rating"));
}

TEST_F(ReviewsTest, AReviewTheServiceRepeatsOnTheNextPageIsKeptOnce) {
    postOthers("meter-one", 13);
    auto app = model();
    auto& reviews = *app->reviews();
    auto* list = reviews.list(QStringLiteral("meter-one"));
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::Fatal);
    test::await(reviews.loadReviews("meter-one", false));
    ASSERT_EQ(list->count(), 10);
    // A new review pushes the tenth onto the second page, which then repeats it.
    postOthers("meter-one", 1, 13);
    test::await(reviews.loadReviews("meter-one", true));
    const auto titles = titlesIn(*list);
    EXPECT_EQ(std::set<QString>(titles.begin(), titles.end()).size(), titles.size());
    EXPECT_EQ(list->count(), 13);
    EXPECT_EQ(list->ratingCount(), 14);
    EXPECT_FALSE(list->hasMore());
}

TEST_F(ReviewsTest, MoreReviewsStopsOnceTheKeptReviewsReachTheirLimit) {
    postOthers("meter-one", 13);
    auto services = std::make_shared<HubServices>(environment());
    ProductReviews full(services, std::nullopt, {}, ReviewLimits{.pageSize = 10, .maxReviews = 10});
    test::await(full.loadReviews("meter-one", false));
    EXPECT_EQ(full.list(QStringLiteral("meter-one"))->count(), 10);
    EXPECT_FALSE(full.list(QStringLiteral("meter-one"))->hasMore());

    ProductReviews roomForOne(services, std::nullopt, {}, ReviewLimits{.pageSize = 10, .maxReviews = 11});
    auto* list = roomForOne.list(QStringLiteral("meter-one"));
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::Fatal);
    test::await(roomForOne.loadReviews("meter-one", false));
    EXPECT_TRUE(list->hasMore());
    test::await(roomForOne.loadReviews("meter-one", true));
    EXPECT_EQ(list->count(), 11);
    EXPECT_EQ(roomForOne.pages().at("meter-one").reviews.size(), 11u);
    EXPECT_FALSE(list->hasMore());
}

TEST_F(ReviewsTest, AFailingLoadMarksTheProductUnavailableAndKeepsWhatWasShown) {
    auto app = model();
    auto& reviews = *app->reviews();
    test::await(reviews.loadReviews("no-such-product", false));
    EXPECT_TRUE(reviews.unavailable().contains("no-such-product"));
    EXPECT_TRUE(reviews.list(QStringLiteral("no-such-product"))->unavailable());
    EXPECT_FALSE(reviews.list(QStringLiteral("no-such-product"))->loaded());

    test::await(reviews.loadReviews("aurora-verb", false));
    auto* list = reviews.list(QStringLiteral("aurora-verb"));
    ASSERT_EQ(list->count(), 4);
    EXPECT_FALSE(list->unavailable());
    demo.services.stop();
    test::await(reviews.loadReviews("aurora-verb", false));
    EXPECT_TRUE(list->unavailable());
    EXPECT_EQ(list->count(), 4);
    EXPECT_FALSE(list->loading());
}

// -- Posting ------------------------------------------------------------------------------------

TEST_F(ReviewsTest, PostingThenEditingTheOwnReview) {
    auto app = signedInModel("demo@ostrel.test", "aurora-verb");
    auto& reviews = *app->reviews();
    auto* list = reviews.list(QStringLiteral("aurora-verb"));
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(list->ratingCount(), 4);
    EXPECT_TRUE(list->eligible());
    EXPECT_FALSE(list->hasOwnReview());
    EXPECT_EQ(reviews.mine().at("aurora-verb").basis, "purchase");

    auto& form = *reviews.form();
    reviews.write(QStringLiteral("aurora-verb"));
    EXPECT_TRUE(form.isOpen());
    EXPECT_FALSE(form.editing());
    EXPECT_EQ(form.productId(), QStringLiteral("aurora-verb"));
    EXPECT_EQ(form.rating(), 0);
    post(form, 4, QStringLiteral("Lush"), QStringLiteral("A big, calm room."));
    EXPECT_EQ(form.failure(), QString());
    EXPECT_FALSE(form.isOpen());
    EXPECT_THAT(bannerTexts(*app->banners()), ElementsAre("Thanks. Your review is posted."));
    ASSERT_TRUE(list->hasOwnReview());
    EXPECT_EQ(list->ownReview().value(QStringLiteral("title")), QStringLiteral("Lush"));
    EXPECT_EQ(list->ownReview().value(QStringLiteral("verifiedPurchase")), true);
    EXPECT_FALSE(list->ownPending());
    // The page is loaded again: the summary counts the new review; the list shows it apart.
    EXPECT_EQ(list->ratingCount(), 5);
    EXPECT_EQ(list->count(), 4);
    EXPECT_EQ(reviews.mine().at("aurora-verb").basis, "purchase");

    reviews.write(QStringLiteral("aurora-verb"));
    EXPECT_TRUE(form.editing());
    EXPECT_EQ(form.rating(), 4);
    EXPECT_EQ(form.title(), QStringLiteral("Lush"));
    EXPECT_EQ(form.body(), QStringLiteral("A big, calm room."));
    post(form, 5, QStringLiteral("Lush and warm"), form.body(), form.displayName());
    EXPECT_FALSE(form.isOpen());
    EXPECT_EQ(bannerTexts(*app->banners()).back(), QStringLiteral("Your review is updated."));
    EXPECT_EQ(list->ownReview().value(QStringLiteral("title")), QStringLiteral("Lush and warm"));
    EXPECT_EQ(list->ownReview().value(QStringLiteral("edited")), true);
    EXPECT_EQ(list->ratingCount(), 5);
}

TEST_F(ReviewsTest, DraftsAtTheirLimitsAreSentAndOneCharacterMoreIsRefusedWithoutARequest) {
    auto app = signedInModel("demo@ostrel.test", "aurora-verb");
    auto& reviews = *app->reviews();
    auto& form = *reviews.form();
    reviews.write(QStringLiteral("aurora-verb"));
    // 80, 2000 and 40 user-perceived characters; the emoji are four bytes each, the name has
    // blanks around it.
    const QString title = repeated(QStringLiteral("a"), 80);
    const QString body = repeated(QString::fromUtf8("\xF0\x9F\x8E\xB9"), 2000);
    const QString name = QStringLiteral("  ") + repeated(QStringLiteral("n"), 40) + QStringLiteral(" \n");
    post(form, 5, title, body, name);
    ASSERT_EQ(form.failure(), QString());
    auto* list = reviews.list(QStringLiteral("aurora-verb"));
    EXPECT_EQ(list->ownReview().value(QStringLiteral("title")), title);
    EXPECT_EQ(list->ownReview().value(QStringLiteral("body")), body);
    EXPECT_EQ(list->ownReview().value(QStringLiteral("author")), repeated(QStringLiteral("n"), 40));

    struct Case {
        int rating;
        QString title;
        QString body;
        QString name;
        const char* failure;
    };
    const std::vector<Case> refused{
        {0, QStringLiteral("Fine"), QStringLiteral("Fine."), {}, "Choose a rating from one to five stars."},
        {3, QStringLiteral(" \n\t"), QStringLiteral("Fine."), {}, "Add a title."},
        {3, title + QStringLiteral("a"), QStringLiteral("Fine."), {}, "Keep the title under 80 characters."},
        {3, QStringLiteral("Fine"), QStringLiteral("\n  "), {}, "Write a few words about it."},
        {3, QStringLiteral("Fine"), body + QStringLiteral("x"), {}, "Keep the review under 2000 characters."},
        {3, QStringLiteral("Fine"), QStringLiteral("Fine."), repeated(QStringLiteral("n"), 41),
         "Keep the name under 40 characters."},
    };
    for (const auto& refusal : refused) {
        SCOPED_TRACE(refusal.failure);
        reviews.write(QStringLiteral("aurora-verb"));
        post(form, refusal.rating, refusal.title, refusal.body, refusal.name);
        EXPECT_EQ(form.failure(), QString::fromUtf8(refusal.failure));
        // The sheet stays open with the draft as typed.
        EXPECT_TRUE(form.isOpen());
        EXPECT_EQ(form.title(), refusal.title);
        EXPECT_EQ(form.body(), refusal.body);
    }
    // Nothing reached the service: the review there is the one at the limits.
    test::await(reviews.loadMyReview("aurora-verb"));
    EXPECT_EQ(list->ownReview().value(QStringLiteral("title")), title);
    EXPECT_EQ(bannerTexts(*app->banners()).size(), 1u);
}

TEST_F(ReviewsTest, AReviewHeldForModerationSaysSoWhetherNewOrEdited) {
    auto app = signedInModel("tester@ostrel.test", "meter-one");
    auto& reviews = *app->reviews();
    auto& form = *reviews.form();
    auto* list = reviews.list(QStringLiteral("meter-one"));
    const QString moderator = QStringLiteral("Your review is saved. It is waiting for a moderator before it appears.");

    reviews.write(QStringLiteral("meter-one"));
    post(form, 2, QStringLiteral("Works"), QStringLiteral("Found it on a torrent site first."));
    EXPECT_EQ(bannerTexts(*app->banners()).back(), moderator);
    EXPECT_TRUE(list->ownPending());
    EXPECT_EQ(list->ownReview().value(QStringLiteral("hidden")), true);
    // Others do not see it yet.
    EXPECT_EQ(list->ratingCount(), 0);

    reviews.write(QStringLiteral("meter-one"));
    post(form, 4, QStringLiteral("Works"), QStringLiteral("Clear meters."));
    EXPECT_EQ(bannerTexts(*app->banners()).back(), QStringLiteral("Your review is updated."));
    EXPECT_FALSE(list->ownPending());
    EXPECT_EQ(list->ratingCount(), 1);

    reviews.write(QStringLiteral("meter-one"));
    post(form, 4, QStringLiteral("Works"), QStringLiteral("Not a scam."));
    EXPECT_EQ(bannerTexts(*app->banners()).back(), moderator);
    EXPECT_TRUE(list->ownPending());
}

TEST_F(ReviewsTest, TheServicesRefusalsAreSaidInTheFormsWordsAndTheDraftIsKept) {
    auto app = signedInModel("tester@ostrel.test", "velvet-comp");
    auto& reviews = *app->reviews();
    auto& form = *reviews.form();
    EXPECT_FALSE(reviews.list(QStringLiteral("velvet-comp"))->eligible());

    // Not owned and not free: the service's own sentence.
    reviews.write(QStringLiteral("velvet-comp"));
    post(form, 3, QStringLiteral("Punchy"), QStringLiteral("Never tried it."));
    EXPECT_EQ(form.failure(), QStringLiteral("Only people who own or have tried this product can review it."));
    EXPECT_TRUE(form.isOpen());
    EXPECT_EQ(form.title(), QStringLiteral("Punchy"));

    // Five posts a minute, then the sixth is one too many.
    for (int i = 0; i < 5; ++i) {
        reviews.write(QStringLiteral("meter-one"));
        post(form, 3, QStringLiteral("Take ") + QString::number(i), QStringLiteral("Clear meters."));
        ASSERT_EQ(form.failure(), QString()) << i;
    }
    reviews.write(QStringLiteral("meter-one"));
    post(form, 5, QStringLiteral("Take five"), QStringLiteral("Still clear."));
    EXPECT_EQ(form.failure(), QStringLiteral("That is a lot of reviews in a short time. Try again in a little while."));
    EXPECT_TRUE(form.isOpen());
    EXPECT_FALSE(form.posting());
    EXPECT_EQ(form.rating(), 5);
    EXPECT_EQ(form.title(), QStringLiteral("Take five"));
    EXPECT_EQ(form.body(), QStringLiteral("Still clear."));
}

TEST_F(ReviewsTest, PostingAfterTheSessionEndedSignsOutOfOstrelIDAndSaysSo) {
    auto app = signedInModel("tester@ostrel.test", "meter-one");
    auto& reviews = *app->reviews();
    auto& form = *reviews.form();
    reviews.write(QStringLiteral("meter-one"));
    post(form, 4, QStringLiteral("Works"), QStringLiteral("Clear meters."));
    ASSERT_TRUE(reviews.list(QStringLiteral("meter-one"))->hasOwnReview());

    // The session is ended on the service's side, as from another device.
    auto& identity = app->services().ostrelID;
    for (const auto& session : identity.sessions())
        identity.revokeSession(session.id);
    reviews.write(QStringLiteral("meter-one"));
    post(form, 5, QStringLiteral("Works well"), QStringLiteral("Clear meters."));
    EXPECT_EQ(form.failure(), QStringLiteral("Your Ostrel ID session ended. Sign in again to post."));
    EXPECT_FALSE(app->ostrelSignedIn());
    EXPECT_FALSE(reviews.list(QStringLiteral("meter-one"))->hasOwnReview());
    EXPECT_EQ(form.title(), QStringLiteral("Works well"));
    // Signed out, the own review is not asked for.
    test::await(reviews.loadMyReview("meter-one"));
    EXPECT_TRUE(reviews.mine().empty());
}

// -- The review form on its own -----------------------------------------------------------------

TEST(ReviewForm, TheRatingStaysWithinNoneToFiveStarsWithAWordForEach) {
    ReviewForm form([](ReviewDraft) -> QCoro::Task<> { co_return; });
    EXPECT_EQ(form.ratingLabel(), QStringLiteral("Choose a rating"));
    const std::vector<QString> words{QStringLiteral("Poor"), QStringLiteral("Fair"), QStringLiteral("Good"),
                                     QStringLiteral("Very good"), QStringLiteral("Excellent")};
    for (int stars = 1; stars <= 5; ++stars) {
        form.setRating(stars);
        EXPECT_EQ(form.ratingLabel(), words[std::size_t(stars - 1)]);
    }
    form.setRating(6);
    EXPECT_EQ(form.rating(), 5);
    form.setRating(-1);
    EXPECT_EQ(form.rating(), 0);
    EXPECT_EQ(form.ratingLabel(), QStringLiteral("Choose a rating"));
    // An empty name is no name.
    form.setDisplayName({});
    EXPECT_FALSE(form.draft().displayName.has_value());
}

// -- Snapshot runs ------------------------------------------------------------------------------

TEST_F(ReviewsTest, ASnapshotRunShowsThePreparedReviewsAndAsksNoService) {
    auto environment = this->environment();
    environment.fixtures = fs::path(OSTREL_SNAPSHOT_FIXTURES);
    AppModel app(std::move(environment));
    auto& reviews = *app.reviews();
    const auto prepared = SnapshotCache{fs::path(OSTREL_SNAPSHOT_FIXTURES)}.load<ReviewPage>("reviews-aurora-verb");
    ASSERT_TRUE(prepared.has_value());
    ASSERT_GT(prepared->reviews.size(), 4u); // not the demo's four

    // The service is gone: only the folder can answer.
    demo.services.stop();
    test::await(reviews.loadReviews("aurora-verb", false));
    EXPECT_EQ(reviews.pages().at("aurora-verb"), *prepared);
    EXPECT_EQ(reviews.list(QStringLiteral("aurora-verb"))->count(), int(prepared->reviews.size()));
    EXPECT_FALSE(reviews.list(QStringLiteral("aurora-verb"))->unavailable());
    test::await(reviews.loadReviews("aurora-verb", true));
    EXPECT_EQ(reviews.pages().at("aurora-verb"), *prepared);

    // A product without a prepared file changes nothing.
    test::await(reviews.loadReviews("tidal-delay", false));
    EXPECT_FALSE(reviews.pages().contains("tidal-delay"));
    EXPECT_FALSE(reviews.list(QStringLiteral("tidal-delay"))->unavailable());
}

} // namespace
} // namespace ostrel::hub
