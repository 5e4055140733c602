// The ratings and reviews section and the review sheet, off-screen on an empty model and on the
// demo services: no QML warning, every control named, the screens' words, "More Reviews", the
// moderation notice, and the star picker's keys at both ends.
#include "../Model/ReviewsDemo.h"
#include "EventLoop.h"
#include "Model/AppModel.h"
#include "Model/ProductReviews.h"
#include "PrivateSessionBus.h"
#include "ScreenHarness.h"
#include "ShellModels.h"
#include "Views/Appearance.h"

#include <QQuickItem>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

QVariantMap on(AppModel& model, const QString& productId, const QString& productName = {}) {
    return {{QStringLiteral("hub"), QVariant::fromValue(&model)},
            {QStringLiteral("productId"), productId},
            {QStringLiteral("productName"), productName}};
}

std::string listed(const QStringList& lines) {
    return lines.join(u'\n').toStdString();
}

void expectClean(const test::ScreenHarness& screens) {
    EXPECT_TRUE(screens.warnings().isEmpty()) << listed(screens.warnings());
    EXPECT_TRUE(screens.unnamedInteractiveItems().isEmpty()) << listed(screens.unnamedInteractiveItems());
}

void expectShows(const test::ScreenHarness& screens, std::initializer_list<const char*> words) {
    for (const auto* text : words)
        EXPECT_TRUE(screens.shows(QString::fromUtf8(text))) << text << " not among\n" << listed(screens.visibleTexts());
}

void click(test::ScreenHarness& screens, const QString& name) {
    auto* item = screens.findByName(name);
    ASSERT_NE(item, nullptr) << "no control named " << name.toStdString() << " among\n"
                             << listed(screens.visibleTexts());
    screens.click(item);
    screens.settle();
}

// A look at the screen in both appearances, kept in the temporary folder for a person to see.
void saveBoth(test::ScreenHarness& screens, const QString& name) {
    const int type = qmlTypeId("Ostrel.Hub", 1, 0, "Appearance");
    auto* appearance = screens.engine().singletonInstance<Appearance*>(type);
    const bool was = appearance->dark();
    for (const bool dark : {true, false}) {
        appearance->setDark(dark);
        screens.settle(60);
        screens.grab().save(QStringLiteral("/tmp/reviews-%1-%2.png").arg(name, dark ? "dark" : "light"));
    }
    appearance->setDark(was);
}

// -- On a model that never reached a service ----------------------------------------------------

TEST(ReviewsScreens, TheSectionAndTheSheetLoadCleanlyOnAnEmptyModel) {
    test_models::EmptyModel empty;
    {
        test::ScreenHarness screens;
        ASSERT_NE(screens.load(QStringLiteral("ReviewsSection.qml"), on(*empty.model, QStringLiteral("aurora-verb")),
                               {980, 700}),
                  nullptr)
            << listed(screens.warnings());
        screens.settle(100);
        expectClean(screens);
        expectShows(screens, {"Ratings and Reviews", "Sign In to Review", "Reviews are written with a Ostrel ID",
                              "Open to people who own or have tried it", "Sign in with Ostrel ID to Review"});
        // Nothing loaded yet: neither the outage nor the empty list is claimed.
        EXPECT_FALSE(screens.shows(QStringLiteral("Reviews could not be loaded right now.")));
        EXPECT_FALSE(screens.shows(QStringLiteral("More Reviews")));
        EXPECT_FALSE(screens.shows(QStringLiteral("Write a Review")));
        click(screens, QStringLiteral("Sign In to Review"));
        EXPECT_TRUE(empty.model->showSignIn());
    }
    {
        test::ScreenHarness screens;
        ASSERT_NE(screens.load(QStringLiteral("ReviewSheet.qml"), on(*empty.model, QStringLiteral("aurora-verb")),
                               {520, 600}),
                  nullptr)
            << listed(screens.warnings());
        screens.settle(100);
        expectClean(screens);
        expectShows(screens, {"Write a Review", "Choose a rating", "Title", "Review", "Name shown with your review",
                              "Plain text only. Your email address is never shown.", "Cancel", "Post"});
    }
}

TEST(ReviewsScreens, TheStarPickerKeysStopAtNoneAndFiveAndEscapeClosesTheSheet) {
    test_models::EmptyModel empty;
    auto& form = *empty.model->reviews()->form();
    empty.model->reviews()->write(QStringLiteral("aurora-verb"));
    test::ScreenHarness screens;
    ASSERT_NE(
        screens.load(QStringLiteral("ReviewSheet.qml"), on(*empty.model, QStringLiteral("aurora-verb")), {520, 600}),
        nullptr);
    screens.settle(100);
    auto* picker = screens.root()->findChild<QQuickItem*>(QStringLiteral("starPicker"));
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
    click(screens, QStringLiteral("Post"));
    EXPECT_TRUE(screens.shows(QStringLiteral("Add a title."))) << listed(screens.visibleTexts());
    EXPECT_TRUE(form.isOpen());

    picker->forceActiveFocus();
    screens.press(Qt::Key_Escape);
    EXPECT_FALSE(form.isOpen());
    EXPECT_TRUE(screens.warnings().isEmpty()) << listed(screens.warnings());
}

// -- On the demo services -----------------------------------------------------------------------

struct LiveReviews : ::testing::Test {
    test_support::ReviewsDemo demo;
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
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("ReviewsSection.qml"),
                           on(*model, QStringLiteral("aurora-verb"), QStringLiteral("Aurora Verb")), {980, 1200}),
              nullptr);
    screens.settle(150);
    expectClean(screens);
    expectShows(screens, {"Ratings and Reviews", "out of 5", "4 ratings", "Verified purchase"});
    EXPECT_TRUE(screens.shows(list->averageText()));
    EXPECT_TRUE(screens.shows(QString::number(list->average(), 'f', 1) + QStringLiteral(" out of 5 stars")));
    for (const auto& row : list->rows()) {
        EXPECT_TRUE(screens.shows(row.title)) << row.title.toStdString();
        EXPECT_TRUE(screens.shows(row.author)) << row.author.toStdString();
    }
    EXPECT_FALSE(screens.shows(QStringLiteral("More Reviews")));

    // Signed in, the user writes a review that waits for a moderator.
    signIn("demo@ostrel.test");
    load("aurora-verb");
    screens.settle();
    EXPECT_FALSE(screens.shows(QStringLiteral("Sign In to Review")));
    click(screens, QStringLiteral("Write a Review"));
    auto& form = *model->reviews()->form();
    ASSERT_TRUE(form.isOpen());
    screens.settle(300);
    expectShows(screens, {"Post", "Cancel", "Sum it up in a line"});
    expectClean(screens);
    form.setRating(5);
    form.setTitle(QStringLiteral("Better than any scam plug-in"));
    form.setBody(QStringLiteral("Warm, wide and quiet."));
    saveBoth(screens, QStringLiteral("sheet-over-section"));
    click(screens, QStringLiteral("Post"));
    ASSERT_TRUE(test::runUntil([&] { return !form.isOpen(); }));
    screens.settle(300);
    expectShows(screens, {"Your review is waiting for a moderator before it appears.", "Edit Your Review",
                          "Better than any scam plug-in"});
    EXPECT_FALSE(screens.shows(QStringLiteral("Post")));
    expectClean(screens);
    saveBoth(screens, QStringLiteral("section-pending"));

    // Editing opens the sheet with the review as posted, under its own words.
    click(screens, QStringLiteral("Edit Your Review"));
    screens.settle(300);
    expectShows(screens, {"Edit Your Review", "Save", "Excellent"});
    EXPECT_EQ(form.title(), QStringLiteral("Better than any scam plug-in"));
}

TEST_F(LiveReviews, MoreReviewsAddsTheNextPageUntilThereIsNoneAndAnEmptyOrMissingListSaysSo) {
    for (int i = 0; i < 11; ++i)
        demo.postAs("fan" + std::to_string(i) + "@ostrel.test", "meter-one", 1 + i % 5, "Review " + std::to_string(i));
    load("meter-one");
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("ReviewsSection.qml"),
                           on(*model, QStringLiteral("meter-one"), QStringLiteral("Meter One")), {980, 3000}),
              nullptr);
    screens.settle(150);
    expectClean(screens);
    auto* cards = screens.root()->findChild<QQuickItem*>(QStringLiteral("reviewCards"));
    ASSERT_NE(cards, nullptr);
    EXPECT_TRUE(screens.shows(QStringLiteral("Review 1")));
    EXPECT_FALSE(screens.shows(QStringLiteral("Review 0")));
    click(screens, QStringLiteral("More Reviews"));
    auto* list = model->reviews()->list(QStringLiteral("meter-one"));
    ASSERT_TRUE(test::runUntil([&] { return list->count() == 11; }));
    screens.settle(150);
    EXPECT_TRUE(screens.shows(QStringLiteral("Review 0")));
    EXPECT_FALSE(screens.shows(QStringLiteral("More Reviews")));
    saveBoth(screens, QStringLiteral("section-paged"));

    load("velvet-comp");
    test::ScreenHarness none;
    ASSERT_NE(none.load(QStringLiteral("ReviewsSection.qml"),
                        on(*model, QStringLiteral("velvet-comp"), QStringLiteral("Velvet Comp")), {980, 700}),
              nullptr);
    none.settle(100);
    expectClean(none);
    EXPECT_TRUE(
        none.shows(QStringLiteral("No reviews yet. If you own or have tried Velvet Comp, yours can be the first.")));

    load("no-such-product");
    test::ScreenHarness missing;
    ASSERT_NE(
        missing.load(QStringLiteral("ReviewsSection.qml"), on(*model, QStringLiteral("no-such-product")), {980, 700}),
        nullptr);
    missing.settle(100);
    EXPECT_TRUE(missing.shows(QStringLiteral("Reviews could not be loaded right now.")));
    EXPECT_FALSE(missing.shows(QStringLiteral("No reviews yet. If you own or have tried , yours can be the first.")));
}

TEST_F(LiveReviews, TheProductPageLoadsItsReviewsWhenOpened) {
    test::await(model->start());
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("ProductPage.qml"),
                           {{QStringLiteral("hub"), QVariant::fromValue(model.get())},
                            {QStringLiteral("productId"), QStringLiteral("aurora-verb")}},
                           {1440, 2600}),
              nullptr);
    model->show(QStringLiteral("aurora-verb"));
    auto* list = model->reviews()->list(QStringLiteral("aurora-verb"));
    ASSERT_TRUE(test::runUntil([&] { return list->loaded(); }));
    screens.settle(200);
    expectClean(screens);
    expectShows(screens, {"Ratings and Reviews", "4 ratings"});
    saveBoth(screens, QStringLiteral("product-page"));
}

} // namespace
} // namespace ostrel::hub
