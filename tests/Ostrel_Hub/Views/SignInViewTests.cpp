// The sign-in sheet, its two forms in every state, the sheet over the window, and the Account
// screen, on a model against the demo services: each loads without a QML warning, names every
// control, and says the words of the screen.
#include "../Model/DemoHub.h"
#include "../Model/LoggingDemo.h"
#include "EventLoop.h"
#include "Model/AppModel.h"
#include "Model/SignInFlow.h"
#include "PrivateSessionBus.h"
#include "ScreenHarness.h"
#include "Views/Appearance.h"

#include <QQmlEngine>
#include <QQuickItem>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

using test_support::HubFolders;
using test_support::LoggingDemo;

QString joined(const QStringList& lines) {
    return lines.join(u'\n');
}

struct SignInScreens : ::testing::Test {
    LoggingDemo demo;
    HubFolders folders;
    std::unique_ptr<AppModel> model;

    void SetUp() override {
        OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
        auto environment = folders.environmentFor(demo.config, demo.services.codeSigningRoot());
        environment.bannerLifetimes = {.failure = std::chrono::hours(1), .other = std::chrono::hours(1)};
        environment.openInBrowser = [](const QUrl&) { return true; }; // the test is the browser
        model = std::make_unique<AppModel>(std::move(environment));
        test::await(model->refreshAll());
    }
    SignInFlow& flow() { return *model->signInFlow(); }
    void settleFlow() {
        ASSERT_TRUE(test::runUntil([&] { return !flow().busy(); }));
    }
    void signInByCode(const std::string& email) {
        test::await(flow().requestCode(QString::fromStdString(email)));
        test::await(flow().completeCode(QString::fromStdString(email), QString::fromStdString(demo.codeFor(email))));
    }
};

// One screen in an off-screen window; the checks every state of it must pass.
struct Screen {
    test::ScreenHarness harness;
    QQuickItem* root = nullptr;

    Screen(const QString& file, AppModel& model, QSize size = {520, 720}) {
        root = harness.load(file, {{QStringLiteral("hub"), QVariant::fromValue(&model)}}, size);
        harness.settle(100);
    }
    void expectClean(const char* state) {
        harness.settle(60);
        ASSERT_NE(root, nullptr) << joined(harness.warnings()).toStdString();
        EXPECT_TRUE(harness.warnings().isEmpty()) << state << ":\n" << joined(harness.warnings()).toStdString();
        EXPECT_TRUE(harness.unnamedInteractiveItems().isEmpty())
            << state << ":\n"
            << joined(harness.unnamedInteractiveItems()).toStdString();
    }
    void expectShows(const QStringList& words, const char* state) {
        for (const auto& word : words)
            EXPECT_TRUE(harness.shows(word)) << state << ": no \"" << word.toStdString() << "\" in\n"
                                             << joined(harness.visibleTexts()).toStdString();
    }
    void click(const QString& name) {
        auto* item = harness.findByName(name);
        ASSERT_NE(item, nullptr) << "no control named " << name.toStdString() << " in\n"
                                 << joined(harness.visibleTexts()).toStdString();
        harness.click(item);
        harness.settle();
    }
    // Saves the screen in both appearances, for a person to look at.
    void save(const QString& name) {
        auto* appearance = harness.engine().singletonInstance<Appearance*>(qmlTypeId("Ostrel.Hub", 1, 0, "Appearance"));
        for (const bool dark : {true, false}) {
            appearance->setDark(dark);
            harness.settle(30);
            harness.grab().save(QStringLiteral("/tmp/signin-%1-%2.png").arg(name, dark ? "dark" : "light"));
        }
    }
};

TEST_F(SignInScreens, TheOstrelIDTabInEveryStateOfItsForm) {
    model->openSignIn(AppModel::SignInPurpose::general);
    Screen screen("SignInView.qml", *model);
    screen.expectClean("the Ostrel ID tab");
    screen.expectShows({"Sign in to Ostrel",
                        "Use your Ostrel ID, or the store account from your purchases. Either one shows your library.",
                        "Ostrel ID", "Store account", "Continue with Apple", "Continue with Google",
                        "Continue with GitHub", "or with an emailed code", "Email", "Email me a code",
                        "Sessions are kept in the macOS keychain on this Mac. Passwords are never stored.", "Cancel"},
                       "the Ostrel ID tab");
    screen.save("ostrel-id");

    flow().continueWith("github");
    ASSERT_TRUE(test::runUntil([&] { return flow().waitingForBrowser(); }));
    screen.expectClean("waiting for the browser");
    screen.expectShows({"Finish signing in in your browser.", "Stop waiting"}, "waiting for the browser");
    EXPECT_FALSE(screen.harness.shows("Continue with GitHub"));
    screen.save("waiting");
    screen.click("Stop waiting");
    settleFlow();
    screen.harness.settle();
    EXPECT_TRUE(screen.harness.shows("Continue with GitHub"));
    EXPECT_FALSE(screen.harness.shows("Finish signing in in your browser."));

    flow().emailMeACode("someone@ostrel.test");
    settleFlow();
    flow().submitCode("wrong1");
    settleFlow();
    screen.expectClean("a wrong code");
    screen.expectShows({"someone@ostrel.test", "Six-digit code", "Sign In", "Use a different email",
                        "That code did not work. Check it, or ask for a new one."},
                       "a wrong code");
    EXPECT_FALSE(screen.harness.shows("Email me a code"));
    screen.save("wrong-code");
    screen.click("Use a different email");
    EXPECT_TRUE(screen.harness.shows("Email me a code"));
    EXPECT_FALSE(screen.harness.shows("That code did not work. Check it, or ask for a new one."));

    screen.click("Cancel");
    EXPECT_FALSE(model->showSignIn());
}

TEST_F(SignInScreens, TheStoreTabSignsInAsksForAResetLinkAndCreatesAnAccount) {
    model->openSignIn(AppModel::SignInPurpose::general);
    Screen screen("SignInView.qml", *model);
    screen.click("Store account");
    screen.expectClean("the store tab");
    screen.expectShows({"Store email", "Password", "Sign In", "Forgot password", "Create an account"}, "the store tab");

    flow().submitStoreSignIn("demo@ostrel.test", "not the password");
    settleFlow();
    screen.expectShows({"That email and password did not match an Ostrel store account."}, "a rejected password");
    screen.save("store-rejected");
    flow().submitForgotPassword("demo@ostrel.test");
    settleFlow();
    screen.expectClean("a reset link sent");
    screen.expectShows({"If that address has a store account, a reset link is on its way."}, "a reset link sent");

    screen.click("Create an account");
    screen.expectClean("creating an account");
    screen.expectShows({"Your name", "Store email", "Choose a password", "Email me about product updates and offers",
                        "Creating an account accepts the store's ", "terms", " and ", "privacy policy",
                        "Create Account", "I have an account"},
                       "creating an account");
    EXPECT_FALSE(screen.harness.shows("Forgot password"));
    screen.save("create-account");
    screen.click("I have an account");
    EXPECT_TRUE(screen.harness.shows("Forgot password"));
}

TEST_F(SignInScreens, OpenedForAnInstallTheSheetSaysWhyAndStartsOnTheStoreTab) {
    const auto& free = model->state().freeProducts();
    ASSERT_FALSE(free.empty());
    model->install(QString::fromStdString(free.front()->id));
    ASSERT_TRUE(model->showSignIn());
    Screen screen("SignInView.qml", *model);
    screen.expectClean("connecting the store");
    screen.expectShows({"Sign in to Ostrel", "Connect your store account", model->signInReason(), "Store email"},
                       "connecting the store");
    screen.save("connect");
}

TEST_F(SignInScreens, TheSheetShowsOverTheWindowWhileTheModelAsksAndEscapeDismissesIt) {
    Screen screen("SignInSheet.qml", *model, {1200, 780});
    EXPECT_FALSE(screen.harness.shows("Sign in to Ostrel"));
    model->openSignIn(AppModel::SignInPurpose::general);
    screen.harness.settle(300);
    screen.expectClean("the sheet");
    EXPECT_TRUE(screen.harness.shows("Sign in to Ostrel"));
    screen.save("sheet");
    screen.harness.press(Qt::Key_Escape);
    screen.harness.settle(300);
    EXPECT_FALSE(model->showSignIn());
    EXPECT_FALSE(screen.harness.shows("Sign in to Ostrel"));

    model->openSignIn(AppModel::SignInPurpose::general);
    screen.harness.settle(300);
    screen.click("Cancel");
    EXPECT_FALSE(model->showSignIn());
}

TEST_F(SignInScreens, TheAccountScreenShowsBothAccountsDevicesPurchasesAndSecurity) {
    {
        Screen screen("AccountView.qml", *model, {1100, 900});
        screen.expectClean("signed out");
        screen.expectShows({"Sign in to Ostrel", "Sign In"}, "signed out");
        screen.click("Sign In");
        EXPECT_TRUE(model->showSignIn());
        EXPECT_EQ(model->signInPurpose(), AppModel::SignInPurpose::general);
        model->setShowSignIn(false);
    }
    signInByCode("demo@ostrel.test");
    {
        Screen screen("AccountView.qml", *model, {1100, 2000});
        screen.expectClean("only the Ostrel ID");
        screen.expectShows({"Ostrel ID", "demo@ostrel.test", "Manage your Ostrel ID", "Sign Out", "Signed-in devices",
                            "Every place your Ostrel ID is signed in.", "This Mac", "Last active just now",
                            "Purchase history", "Gift", "Store account", "Not connected",
                            "Sign in with the email you bought with.", "Connect", "Open the store", "Security"},
                           "only the Ostrel ID");
        screen.save("account-ostrel");
        screen.click("Connect");
        EXPECT_EQ(model->signInPurpose(), AppModel::SignInPurpose::connectStore);
        model->setShowSignIn(false);
    }
    test::await(flow().signInToStore("demo@ostrel.test", "demo"));
    Screen screen("AccountView.qml", *model, {1100, 2000});
    screen.expectClean("both accounts");
    screen.expectShows({"Demo Customer", "Connected", "Disconnect"}, "both accounts");
    screen.save("account-both");
    screen.click("Disconnect");
    ASSERT_TRUE(test::runUntil([&] { return !model->storeConnected(); }));
    screen.click("Sign Out");
    ASSERT_TRUE(test::runUntil([&] { return !model->ostrelSignedIn(); }));
    screen.harness.settle();
    EXPECT_TRUE(screen.harness.shows("Sign In"));
}

} // namespace
} // namespace ostrel::hub
