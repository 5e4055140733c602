// The ratings and reviews section and the review sheet, off-screen on an empty model and on the
// demo services: no QML warning, every control named, the screens' words, "More Reviews", the
// moderation notice, and the star picker's keys at both ends.
#include "EventLoop.h"
#include "LoggingDemo.h"
#include "Model/AppModel.h"
#include "Model/ProductReviews.h"
#include "PrivateSessionBus.h"
#include "ShellModels.h"
#include "ShownScreen.h"

#include <QQuickItem>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

// The reviews section or the review sheet of a product, on the model.
struct ReviewScreen : test::ShownScreen {
    ReviewScreen(const QString& file, AppModel& model, const QString& productId, QSize size,
                 const QString& productName = {})
        : ShownScreen(file, model,
                      {{QStringLiteral("productId"), productId}, {QStringLiteral("productName"), productName}}, size) {
        harness.settle(50);
    }
    void save(const char* name) { saveBoth(QStringLiteral("reviews-") + QLatin1String(name)); }
};

// The product's reviews section, and its review sheet.
ReviewScreen sectionOf(AppModel& model, const QString& productId, const QString& productName = {},
                       QSize size = {980, 700}) {
    return ReviewScreen(QStringLiteral("ReviewsSection.qml"), model, productId, size, productName);
}
ReviewScreen sheetOf(AppModel& model, const QString& productId) {
    return ReviewScreen(QStringLiteral("ReviewSheet.qml"), model, productId, {520, 600});
}

// -- On a model that never reached a service ----------------------------------------------------

TEST(ReviewsScreens, TheSectionAndTheSheetLoadCleanlyOnAnEmptyModel) {
    test_models::EmptyModel empty;
    {
        auto screen = sectionOf(*empty.model, QStringLiteral("aurora-verb"));
        screen.expectClean();
        screen.expectShows({"Ratings and Reviews", "Sign In to Review", "Reviews are written with a Ostrel ID",
                            "Open to people who own or have tried it", "Sign in with Ostrel ID to Review"});
        // Nothing loaded yet: neither the outage nor the empty list is claimed.
        EXPECT_FALSE(screen.shows(QStringLiteral("Reviews could not be loaded right now.")));
        EXPECT_FALSE(screen.shows(QStringLiteral("More Reviews")));
        EXPECT_FALSE(screen.shows(QStringLiteral("Write a Review")));
        screen.click(QStringLiteral("Sign In to Review"));
        EXPECT_TRUE(empty.model->showSignIn());
    }
    {
        auto sheet = sheetOf(*empty.model, QStringLiteral("aurora-verb"));
        sheet.expectClean();
        sheet.expectShows({"Write a Review", "Choose a rating", "Title", "Review", "Name shown with your review",
                           "Plain text only. Your email address is never shown.", "Cancel", "Post"});
    }
}

TEST(ReviewsScreens, TheStarPickerKeysStopAtNoneAndFiveAndEscapeClosesTheSheet) {
    test_models::EmptyModel empty;
    auto& form = *empty.model->reviews()->form();
    empty.model->reviews()->write(QStringLiteral("aurora-verb"));
    auto sheet = sheetOf(*empty.model, QStringLiteral("aurora-verb"));
    auto& screens = sheet.harness;
    auto* picker = sheet.child("starPicker");
    ASSERT_NE(picker, nullptr);
    picker->forceActiveFocus();
    ASSERT_TRUE(picker->hasActiveFocus());

    screens.press(Qt::Key_Left);
    EXPECT_EQ(form.rating(), 0);
    EXPECT_TRUE(screens.shows(QStringLiteral("Choose a rating")));
    screens.press(Qt::Key_Down);
    EXPECT_EQ(form.rating(), 0);
    const char* words[] = {"Poor", "Fair", "Good", "Very good", "Excellent"};
    for (int stars = 1; stars <= 5; ++stars) {
        screens.press(Qt::Key_Right);
        screens.settle();
        EXPECT_EQ(form.rating(), stars);
        EXPECT_TRUE(screens.shows(QString::fromLatin1(words[stars - 1]))) << words[stars - 1];
    }
    screens.press(Qt::Key_Right);
    screens.press(Qt::Key_Up);
    EXPECT_EQ(form.rating(), 5);
    screens.press(Qt::Key_Left);
    EXPECT_EQ(form.rating(), 4);
    screens.press(Qt::Key_Home);
    EXPECT_EQ(form.rating(), 0);
    screens.press(Qt::Key_End);
    EXPECT_EQ(form.rating(), 5);
    screens.press(Qt::Key_2);
    EXPECT_EQ(form.rating(), 2);

    // A draft that breaks a rule: its sentence in the sheet, nothing sent.
    sheet.click(QStringLiteral("Post"));
    EXPECT_TRUE(screens.shows(QStringLiteral("Add a title."))) << test::listed(screens.visibleTexts());
    EXPECT_TRUE(form.isOpen());

    picker->forceActiveFocus();
    screens.press(Qt::Key_Escape);
    EXPECT_FALSE(form.isOpen());
    EXPECT_TRUE(screens.warnings().isEmpty()) << test::listed(screens.warnings());
}

// -- On the demo services -----------------------------------------------------------------------

struct LiveReviews : ::testing::Test {
    demo::LoggingDemo demo;
    test_support::HubFolders folders;
    std::unique_ptr<AppModel> model;

    void SetUp() override {
        OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
        folders.active = true;
        model = test_models::modelIn(folders.environmentFor(demo.config, demo.services.codeSigningRoot()));
    }
    void signIn(const std::string& email) {
        demo.signIn(model->services().ostrelID, email);
        test::await(model->loadOstrelID());
        ASSERT_TRUE(model->ostrelSignedIn());
    }
    void load(const std::string& productId) {
        test::await(model->reviews()->loadReviews(productId, false));
        test::await(model->reviews()->loadMyReview(productId));
    }
};

TEST_F(LiveReviews, TheSectionShowsTheSummaryTheCardsAndTheOwnPendingReview) {
    test::await(model->start());
    load("aurora-verb");
    auto* list = model->reviews()->list(QStringLiteral("aurora-verb"));
    ASSERT_EQ(list->count(), 4);
    auto screen = sectionOf(*model, QStringLiteral("aurora-verb"), QStringLiteral("Aurora Verb"), {980, 1200});
    screen.expectClean();
    screen.expectShows({"Ratings and Reviews", "out of 5", "4 ratings", "Verified purchase"});
    EXPECT_TRUE(screen.shows(list->averageText()));
    EXPECT_TRUE(screen.shows(QString::number(list->average(), 'f', 1) + QStringLiteral(" out of 5 stars")));
    for (const auto& row : list->rows()) {
        EXPECT_TRUE(screen.shows(row.title)) << row.title.toStdString();
        EXPECT_TRUE(screen.shows(row.author)) << row.author.toStdString();
    }
    EXPECT_FALSE(screen.shows(QStringLiteral("More Reviews")));

    // Signed in, the user writes a review that waits for a moderator.
    signIn("demo@ostrel.test");
    load("aurora-verb");
    screen.harness.settle();
    EXPECT_FALSE(screen.shows(QStringLiteral("Sign In to Review")));
    screen.click(QStringLiteral("Write a Review"));
    auto& form = *model->reviews()->form();
    ASSERT_TRUE(form.isOpen());
    screen.harness.settle(300);
    screen.expectShows({"Post", "Cancel", "Sum it up in a line"});
    screen.expectClean("the sheet open");
    form.setRating(5);
    form.setTitle(QStringLiteral("Better than any scam plug-in"));
    form.setBody(QStringLiteral("Warm, wide and quiet."));
    screen.save("sheet-over-section");
    screen.click(QStringLiteral("Post"));
    ASSERT_TRUE(test::runUntil([&] { return !form.isOpen(); }));
    screen.harness.settle(300);
    screen.expectShows({"Your review is waiting for a moderator before it appears.", "Edit Your Review",
                        "Better than any scam plug-in"});
    EXPECT_FALSE(screen.shows(QStringLiteral("Post")));
    screen.expectClean("the review posted");
    screen.save("section-pending");

    // Editing opens the sheet with the review as posted, under its own words.
    screen.click(QStringLiteral("Edit Your Review"));
    screen.harness.settle(300);
    screen.expectShows({"Edit Your Review", "Save", "Excellent"});
    EXPECT_EQ(form.title(), QStringLiteral("Better than any scam plug-in"));
}

TEST_F(LiveReviews, MoreReviewsAddsTheNextPageUntilThereIsNoneAndAnEmptyOrMissingListSaysSo) {
    for (int i = 0; i < 11; ++i)
        demo.postAs("fan" + std::to_string(i) + "@ostrel.test", "meter-one", 1 + i % 5, "Review " + std::to_string(i));
    load("meter-one");
    auto screen = sectionOf(*model, QStringLiteral("meter-one"), QStringLiteral("Meter One"), {980, 3000});
    screen.expectClean();
    ASSERT_NE(screen.child("reviewCards"), nullptr);
    EXPECT_TRUE(screen.shows(QStringLiteral("Review 1")));
    EXPECT_FALSE(screen.shows(QStringLiteral("Review 0")));
    screen.click(QStringLiteral("More Reviews"));
    auto* list = model->reviews()->list(QStringLiteral("meter-one"));
    ASSERT_TRUE(test::runUntil([&] { return list->count() == 11; }));
    screen.harness.settle(150);
    EXPECT_TRUE(screen.shows(QStringLiteral("Review 0")));
    EXPECT_FALSE(screen.shows(QStringLiteral("More Reviews")));
    screen.save("section-paged");

    load("velvet-comp");
    auto none = sectionOf(*model, QStringLiteral("velvet-comp"), QStringLiteral("Velvet Comp"));
    none.expectClean();
    EXPECT_TRUE(
        none.shows(QStringLiteral("No reviews yet. If you own or have tried Velvet Comp, yours can be the first.")));

    load("no-such-product");
    auto missing = sectionOf(*model, QStringLiteral("no-such-product"));
    ASSERT_NE(missing.root, nullptr) << test::listed(missing.harness.warnings());
    EXPECT_TRUE(missing.shows(QStringLiteral("Reviews could not be loaded right now.")));
    EXPECT_FALSE(missing.shows(QStringLiteral("No reviews yet. If you own or have tried , yours can be the first.")));
}

TEST_F(LiveReviews, TheProductPageLoadsItsReviewsWhenOpened) {
    test::await(model->start());
    test::ShownScreen screen(QStringLiteral("ProductPage.qml"), *model,
                             {{QStringLiteral("productId"), QStringLiteral("aurora-verb")}}, {1440, 2600});
    ASSERT_NE(screen.root, nullptr) << test::listed(screen.harness.warnings());
    model->show(QStringLiteral("aurora-verb"));
    auto* list = model->reviews()->list(QStringLiteral("aurora-verb"));
    ASSERT_TRUE(test::runUntil([&] { return list->loaded(); }));
    screen.harness.settle(200);
    screen.expectClean();
    screen.expectShows({"Ratings and Reviews", "4 ratings"});
    screen.saveBoth(QStringLiteral("reviews-product-page"));
}

} // namespace
} // namespace ostrel::hub
