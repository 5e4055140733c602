// Both accounts' sign-in flows of the app model against the demo services over real HTTPS: the
// store by password, sign-up and forgotten password; the Ostrel ID by e-mailed code and through
// the browser, with the real loopback receiver and libcurl standing in for the user's browser;
// where the sessions are kept; and what the Account screen lists.
#include "DemoHub.h"
#include "EventLoop.h"
#include "LoggingDemo.h"
#include "Model/AccountText.h"
#include "Model/AppModel.h"
#include "Model/BannerList.h"
#include "Model/JobQueue.h"
#include "Model/LaunchArguments.h"
#include "Model/LaunchOpen.h"
#include "Model/SignInFlow.h"
#include "Platform/SecretStore.h"
#include "PrivateSessionBus.h"
#include "Services/CurlTransport.h"
#include "Services/InMemoryTokenPersistence.h"
#include "Services/KeychainTokenPersistence.h"
#include "Services/ServiceConfig.h"
#include "TempDir.h"

#include <QAbstractItemModelTester>
#include <QUrlQuery>
#include <future>
#include <memory>
#include <mutex>
#include <regex>

#include <gmock/gmock.h>

#include <curl/curl.h>

namespace ostrel::hub {
namespace {

using test_support::HubFolders;
using test_support::LoggingDemo;
using ::testing::Contains;
using ::testing::HasSubstr;

// The user's browser: libcurl with the demo's authority, reaching the demo hosts where the
// service configuration sends them. It follows the provider's page to its "Continue" link and
// the redirect back to the hub's loopback receiver.
class Browser {
public:
    struct Page {
        long status = 0; // 0: nothing answered
        std::string body;
        std::string location;
    };

    explicit Browser(const ServiceConfig& config) : config_(config) {}

    Page get(const std::string& url) const {
        std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
        curl_slist* routes = nullptr;
        for (const auto& [host, address] : config_.connectTo)
            routes = curl_slist_append(routes, (host + "::" + address).c_str());
        std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> ownedRoutes(routes, &curl_slist_free_all);
        Page page;
        curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_CONNECT_TO, routes);
        if (config_.caBundle)
            curl_easy_setopt(curl.get(), CURLOPT_CAINFO, config_.caBundle->c_str());
        curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &Browser::append);
        curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &page.body);
        if (curl_easy_perform(curl.get()) != CURLE_OK)
            return page;
        curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &page.status);
        char* location = nullptr;
        if (curl_easy_getinfo(curl.get(), CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location)
            page.location = location;
        return page;
    }

    // What the user sees at the end of a sign-in that starts at `start`.
    Page signIn(const std::string& start) const {
        const auto page = get(start);
        std::smatch link;
        if (!std::regex_search(page.body, link, std::regex("href=\"(/auth/[a-z]+/continue\\?[^\"]+)\"")))
            return page;
        const auto origin = start.substr(0, start.find('/', std::string("https://").size()));
        const auto continued = get(origin + std::regex_replace(link[1].str(), std::regex("&amp;"), "&"));
        return continued.location.empty() ? continued : get(continued.location);
    }

private:
    static size_t append(char* data, size_t size, size_t count, void* body) {
        static_cast<std::string*>(body)->append(data, size * count);
        return size * count;
    }

    const ServiceConfig& config_;
};

std::vector<QString> bannerTexts(const BannerList& banners) {
    std::vector<QString> texts;
    for (int row = 0; row < banners.rowCount(); ++row)
        texts.push_back(banners.data(banners.index(row), BannerList::textRole).toString());
    return texts;
}

struct SignInTest : ::testing::Test {
    LoggingDemo demo;
    HubFolders hub;
    std::mutex openedLock;
    std::vector<QUrl> opened; // what the hub handed to the browser

    void SetUp() override { OSTREL_REQUIRE_PRIVATE_SESSION_BUS(); }

    ModelEnvironment environment() {
        auto environment = hub.environmentFor(demo.config, demo.services.codeSigningRoot());
        environment.openInBrowser = [this](const QUrl& url) {
            const std::lock_guard guard(openedLock);
            opened.push_back(url);
            return true;
        };
        return environment;
    }
    std::unique_ptr<AppModel> model(ModelEnvironment environment) {
        auto app = std::make_unique<AppModel>(std::move(environment));
        test::await(app->refreshAll());
        return app;
    }
    std::unique_ptr<AppModel> model() { return model(environment()); }
    std::optional<QUrl> lastOpened() {
        const std::lock_guard guard(openedLock);
        return opened.empty() ? std::nullopt : std::optional(opened.back());
    }
    static bool settled(AppModel& app) {
        return test::runUntil([&] { return !app.signInFlow()->busy(); });
    }
    static bool hasBanner(AppModel& app, const QString& text) {
        const auto texts = bannerTexts(*app.banners());
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
    // A free product of the catalogue with a Mac download.
    static QString freeProduct(AppModel& app) {
        for (const auto* product : app.state().freeProducts())
            if (!product->macDownloads().empty())
                return QString::fromStdString(product->id);
        return {};
    }
};

TEST_F(SignInTest, AStorePasswordConnectsTheAccountClosesTheSheetAndAWrongOneLeavesEverythingAsItWas) {
    auto app = model();
    auto* flow = app->signInFlow();
    EXPECT_EQ(app->displayName(), "Not signed in");
    EXPECT_EQ(app->displayEmail(), "");
    app->openSignIn(AppModel::SignInPurpose::general);

    flow->submitStoreSignIn("demo@ostrel.test", "not the password");
    EXPECT_TRUE(flow->busy()) << "busy from the press on";
    ASSERT_TRUE(settled(*app));
    EXPECT_EQ(flow->storeError(), "That email and password did not match an Ostrel store account.");
    EXPECT_FALSE(app->storeConnected());
    EXPECT_TRUE(app->showSignIn());
    EXPECT_TRUE(bannerTexts(*app->banners()).empty());

    flow->submitStoreSignIn(" demo@ostrel.test ", "demo");
    ASSERT_TRUE(settled(*app));
    EXPECT_EQ(flow->storeError(), "");
    EXPECT_TRUE(app->storeConnected());
    EXPECT_FALSE(app->showSignIn());
    EXPECT_TRUE(hasBanner(*app, "Store account connected: demo@ostrel.test."));
    EXPECT_EQ(app->ownedProducts()->count(), 7) << "the refresh after the sign-in fills the library";
    EXPECT_EQ(app->displayName(), "Demo Customer");
    EXPECT_EQ(app->displayEmail(), "demo@ostrel.test");

    test::await(flow->disconnectStore());
    EXPECT_FALSE(app->storeConnected());
    EXPECT_EQ(app->ownedProducts()->count(), 0);
    EXPECT_TRUE(hasBanner(*app, "Store account disconnected. Its session was removed from the keychain."));
    EXPECT_FALSE(app->services().client.isSignedIn());
}

TEST_F(SignInTest, AnInstallThatNeededTheStoreWaitsThroughADisconnectAndStartsAfterTheSignIn) {
    auto app = model();
    const auto product = freeProduct(*app);
    ASSERT_FALSE(product.isEmpty());

    app->install(product);
    ASSERT_TRUE(app->pendingInstall().has_value());
    EXPECT_TRUE(app->showSignIn());
    EXPECT_EQ(app->signInPurpose(), AppModel::SignInPurpose::connectStore);
    EXPECT_THAT(app->signInReason().toStdString(), HasSubstr("will start installing"));

    test::await(app->signInFlow()->disconnectStore());
    ASSERT_TRUE(app->pendingInstall().has_value()) << "a disconnect keeps the install waiting";
    EXPECT_EQ(app->jobs()->job(product), nullptr);

    test::await(app->signInFlow()->signInToStore("demo@ostrel.test", "demo"));
    EXPECT_FALSE(app->pendingInstall().has_value());
    EXPECT_NE(app->jobs()->job(product), nullptr) << "the install starts without a second press";
    EXPECT_FALSE(app->showSignIn());
}

TEST_F(SignInTest, ANewStoreAccountIsConnectedAndAlsoResumesThePendingInstall) {
    auto app = model();
    const auto product = freeProduct(*app);
    app->install(product);
    ASSERT_TRUE(app->pendingInstall().has_value());

    auto* flow = app->signInFlow();
    flow->submitSignUp("Someone Else", "demo@ostrel.test", "pw", false);
    ASSERT_TRUE(settled(*app));
    EXPECT_EQ(flow->storeError(), "The store returned 409. An account with this email already exists.");
    EXPECT_FALSE(app->storeConnected());
    EXPECT_TRUE(app->pendingInstall().has_value());

    flow->submitSignUp("Fresh Customer", "fresh@ostrel.test", "pw", true);
    ASSERT_TRUE(settled(*app));
    EXPECT_EQ(flow->storeError(), "");
    EXPECT_TRUE(app->storeConnected());
    EXPECT_EQ(app->storeUserEmail(), "fresh@ostrel.test");
    EXPECT_TRUE(hasBanner(
        *app, "Store account created for fresh@ostrel.test. Moonbase has emailed a link to confirm the address."));
    EXPECT_FALSE(app->pendingInstall().has_value());
    EXPECT_NE(app->jobs()->job(product), nullptr);
}

TEST_F(SignInTest, AForgottenPasswordSendsTheResetLinkAndADismissedSheetForgetsTheForm) {
    auto app = model();
    auto* flow = app->signInFlow();
    app->openSignIn(AppModel::SignInPurpose::general);
    flow->submitForgotPassword("demo@ostrel.test");
    ASSERT_TRUE(settled(*app));
    EXPECT_EQ(flow->storeError(), "");
    EXPECT_TRUE(flow->resetSent());
    EXPECT_TRUE(demo.logged("password reset link for demo@ostrel.test"));
    EXPECT_FALSE(app->storeConnected());

    app->setShowSignIn(false);
    EXPECT_FALSE(flow->resetSent());
}

TEST_F(SignInTest, AnEmailedCodeSignsInAfterAWrongOneIsRefusedInTheFormsWords) {
    auto app = model();
    auto* flow = app->signInFlow();
    app->openSignIn(AppModel::SignInPurpose::general);

    flow->emailMeACode("someone@ostrel.test");
    ASSERT_TRUE(settled(*app));
    ASSERT_TRUE(flow->codeSent()) << flow->ostrelError().toStdString();
    EXPECT_EQ(flow->codeEmail(), "someone@ostrel.test");
    const auto code = demo.codeFor("someone@ostrel.test");
    ASSERT_EQ(code.size(), 6u);

    const QString wrong = code == "000000" ? "111111" : "000000";
    flow->submitCode(wrong);
    ASSERT_TRUE(settled(*app));
    EXPECT_EQ(flow->ostrelError(), "That code did not work. Check it, or ask for a new one.");
    EXPECT_FALSE(app->ostrelSignedIn());
    EXPECT_TRUE(flow->codeSent());

    // Typed with a blank between its halves.
    flow->submitCode(QString::fromStdString(code.substr(0, 3) + " " + code.substr(3)));
    ASSERT_TRUE(settled(*app));
    EXPECT_EQ(flow->ostrelError(), "");
    EXPECT_TRUE(app->ostrelSignedIn());
    EXPECT_FALSE(app->showSignIn()) << "opened from the Account screen: the sheet closes";
    EXPECT_TRUE(hasBanner(*app, "Signed in with Ostrel ID as someone@ostrel.test."));
    EXPECT_EQ(app->displayName(), "someone@ostrel.test");
    EXPECT_EQ(app->displayEmail(), "someone@ostrel.test");
    ASSERT_EQ(flow->devices()->count(), 1);
    EXPECT_EQ(flow->devices()->rows().front().value("label"), "This Mac");
    EXPECT_EQ(flow->devices()->rows().front().value("lastActive"), "Last active just now");

    // A different address starts the form again.
    flow->emailMeACode("other@ostrel.test");
    ASSERT_TRUE(settled(*app));
    flow->useDifferentEmail();
    EXPECT_FALSE(flow->codeSent());

    test::await(flow->signOutOfOstrelID());
    EXPECT_FALSE(app->ostrelSignedIn());
    EXPECT_EQ(flow->devices()->count(), 0);
    EXPECT_EQ(flow->purchases()->count(), 0);
    EXPECT_TRUE(hasBanner(*app, "Signed out of Ostrel ID."));
    EXPECT_EQ(app->displayName(), "Not signed in");
}

TEST_F(SignInTest, AnOstrelIDSignInFromASheetOpenedForAnInstallKeepsTheSheetOpen) {
    auto app = model();
    app->install(freeProduct(*app));
    ASSERT_TRUE(app->showSignIn());
    test::await(app->signInFlow()->requestCode("someone@ostrel.test"));
    test::await(app->signInFlow()->completeCode("someone@ostrel.test",
                                                QString::fromStdString(demo.codeFor("someone@ostrel.test"))));
    EXPECT_TRUE(app->ostrelSignedIn());
    EXPECT_TRUE(app->showSignIn()) << "the install still needs the store account";
    EXPECT_TRUE(app->pendingInstall().has_value());
}

TEST_F(SignInTest, TheBrowserSignInOpensTheProvidersPageAndFinishesWhenItsCallbackReachesTheReceiver) {
    auto app = model();
    auto* flow = app->signInFlow();
    app->openSignIn(AppModel::SignInPurpose::general);
    flow->continueWith("github");
    ASSERT_TRUE(test::runUntil([&] { return flow->waitingForBrowser(); }));
    const auto address = lastOpened();
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(address->host(), QString::fromStdString(demo.config.identityApiHost));
    EXPECT_EQ(address->path(), "/auth/github/start");
    const QUrlQuery query(*address);
    EXPECT_EQ(query.queryItemValue("state").size(), 32);
    EXPECT_EQ(query.queryItemValue("hub_challenge").size(), 43);

    const Browser browser(demo.config);
    auto page = std::async(std::launch::async, [&] { return browser.signIn(address->toString().toStdString()); });
    ASSERT_TRUE(settled(*app));
    const auto shown = page.get();
    EXPECT_EQ(shown.status, 200);
    EXPECT_THAT(shown.body, HasSubstr("You are signed in to Ostrel Hub. You can close this tab."));

    EXPECT_EQ(flow->ostrelError(), "");
    EXPECT_FALSE(flow->waitingForBrowser());
    ASSERT_TRUE(app->ostrelSignedIn());
    EXPECT_EQ(app->displayEmail(), "demo@ostrel.test");
    EXPECT_FALSE(app->showSignIn());
    EXPECT_TRUE(hasBanner(*app, "Signed in with Ostrel ID as demo@ostrel.test."));
    // The Ostrel ID names products the store account has not been connected for.
    EXPECT_GT(app->ownedProducts()->count(), 0);
    EXPECT_TRUE(hasBanner(*app, "Your Ostrel ID shows what you own. Connect your store account once to download it."));
    EXPECT_GT(flow->purchases()->count(), 0);
    const auto& purchases = flow->purchases()->rows();
    EXPECT_TRUE(std::any_of(purchases.begin(), purchases.end(), [](const QVariantMap& row) {
        return row.value("gifted").toBool();
    })) << "the demo customer was given a product";
}

TEST_F(SignInTest, StopWaitingEndsTheBrowserSignInQuietlyAndTheReceiverIsGone) {
    auto app = model();
    auto* flow = app->signInFlow();
    flow->continueWith("google");
    ASSERT_TRUE(test::runUntil([&] { return flow->waitingForBrowser(); }));
    flow->stopWaiting();
    ASSERT_TRUE(settled(*app));
    EXPECT_FALSE(flow->waitingForBrowser());
    EXPECT_EQ(flow->ostrelError(), "") << "stopping is not a failure";
    EXPECT_FALSE(app->ostrelSignedIn());
    EXPECT_TRUE(bannerTexts(*app->banners()).empty());

    // The browser that finishes later finds nobody listening.
    const auto late = Browser(demo.config).signIn(lastOpened()->toString().toStdString());
    EXPECT_EQ(late.status, 0);
    EXPECT_FALSE(app->ostrelSignedIn());
}

TEST_F(SignInTest, ABrowserThatNeverCallsBackEndsInTheReceiversTimeOutWithNothingChanged) {
    auto environment = this->environment();
    environment.browserSignInWait = std::chrono::milliseconds(1);
    auto app = model(std::move(environment));
    app->signInFlow()->continueWith("apple");
    ASSERT_TRUE(settled(*app));
    EXPECT_EQ(app->signInFlow()->ostrelError(), "Sign-in timed out. Try again.");
    EXPECT_FALSE(app->signInFlow()->waitingForBrowser());
    EXPECT_FALSE(app->ostrelSignedIn());
}

TEST_F(SignInTest, SigningOutAnotherDeviceListsTheRestAndOpenSigninOpensAGeneralSheet) {
    auto app = model();
    auto* flow = app->signInFlow();
    // Another device signs in to the same Ostrel ID.
    OstrelIDClient other(
        OstrelIDClient::apiBase(demo.config.identityApiHost), OstrelIDClient::signInBase(demo.config.identityApiHost),
        std::make_shared<CurlTransport>(demo.config.pinnedTrust(), CurlTransport::Options::from(demo.config)),
        std::make_shared<InMemoryTokenPersistence>());
    other.requestCode("someone@ostrel.test");
    other.completeCode("someone@ostrel.test", demo.codeFor("someone@ostrel.test"));
    test::await(flow->requestCode("someone@ostrel.test"));
    test::await(flow->completeCode("someone@ostrel.test", QString::fromStdString(demo.codeFor("someone@ostrel.test"))));
    ASSERT_EQ(flow->devices()->count(), 2);
    QAbstractItemModelTester tester(flow->devices(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const auto rows = flow->devices()->rows();
    const auto another =
        std::find_if(rows.begin(), rows.end(), [](const QVariantMap& row) { return !row.value("isCurrent").toBool(); });
    ASSERT_NE(another, rows.end());

    flow->signOutDevice(another->value("sessionId").toString());
    ASSERT_TRUE(test::runUntil([&] { return flow->devices()->count() == 1; }));
    EXPECT_TRUE(flow->devices()->rows().front().value("isCurrent").toBool());
    EXPECT_TRUE(hasBanner(*app, "Signed out " + another->value("label").toString() + "."));
    EXPECT_FALSE(other.isSignedIn() && [&] {
        try {
            other.profile();
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }()) << "the other device's session is gone";

    app->install(freeProduct(*app));
    ASSERT_EQ(app->signInPurpose(), AppModel::SignInPurpose::connectStore);
    app->setShowSignIn(false);
    applyOpenTarget("signin", *app);
    EXPECT_TRUE(app->showSignIn());
    EXPECT_EQ(app->signInPurpose(), AppModel::SignInPurpose::general);
    EXPECT_EQ(app->signInReason(), "");
}

// The sessions of a normal run are in the Secret Service; a snapshot run keeps them in memory.
TEST_F(SignInTest, SessionsAreKeptInTheSecretServiceExceptInASnapshotRun) {
    const KeychainItem storeItem{KeychainTokenPersistence::serviceName, KeychainTokenPersistence::storeAccount};
    const KeychainItem identityItem{KeychainTokenPersistence::serviceName, KeychainTokenPersistence::identityAccount};
    storeItem.remove();
    identityItem.remove();
    const auto launched = [&](QStringList arguments) {
        arguments << "--config" << QString::fromStdString(demo.services.configFile().string()) << "--data"
                  << QString::fromStdString((hub.dir / "data").string()) << "--home"
                  << QString::fromStdString((hub.dir / "home").string()) << "--anchors"
                  << QString::fromStdString(demo.services.codeSigningRoot().string());
        return LaunchArguments::parse(arguments).environment();
    };
    const auto signInToBoth = [&](AppModel& app) {
        test::await(app.signInFlow()->signInToStore("demo@ostrel.test", "demo"));
        test::await(app.signInFlow()->requestCode("someone@ostrel.test"));
        test::await(app.signInFlow()->completeCode("someone@ostrel.test",
                                                   QString::fromStdString(demo.codeFor("someone@ostrel.test"))));
    };
    {
        auto snapshot = model(launched({"--snapshot", QString::fromStdString((hub.dir / "shots").string())}));
        signInToBoth(*snapshot);
        EXPECT_TRUE(snapshot->storeConnected() && snapshot->ostrelSignedIn());
        EXPECT_FALSE(storeItem.read().has_value());
        EXPECT_FALSE(identityItem.read().has_value());
    }
    auto app = model(launched({}));
    EXPECT_FALSE(app->storeConnected()) << "nothing of the snapshot run was kept";
    signInToBoth(*app);
    EXPECT_TRUE(storeItem.read().has_value());
    EXPECT_TRUE(identityItem.read().has_value());

    test::await(app->signInFlow()->disconnectStore());
    EXPECT_FALSE(storeItem.read().has_value());
    test::await(app->signInFlow()->signOutOfOstrelID());
    EXPECT_FALSE(identityItem.read().has_value());
}

TEST(AccountText, TheNamesShownFollowTheConnectedAccounts) {
    StoreState state;
    EXPECT_EQ(AccountText::displayName(state), "Not signed in");
    EXPECT_FALSE(AccountText::displayEmail(state).has_value());
    state.storeUser = User{.email = "buyer@ostrel.test", .name = ""};
    EXPECT_EQ(AccountText::displayName(state), "buyer@ostrel.test");
    EXPECT_EQ(AccountText::displayEmail(state), "buyer@ostrel.test");
    state.ostrelProfile = OstrelIDProfile{.user = {.id = "u", .email = "me@ostrel.test"},
                                          .externalAccounts = std::vector<OstrelIDConnection>{
                                              {.provider = "github"}, {.provider = "apple"}, {.provider = "github"}}};
    EXPECT_EQ(AccountText::displayName(state), "me@ostrel.test") << "an empty store name gives way to the Ostrel ID";
    EXPECT_EQ(AccountText::displayEmail(state), "me@ostrel.test");
    state.storeUser->name = "Buyer";
    EXPECT_EQ(AccountText::displayName(state), "Buyer");
    EXPECT_EQ(AccountText::signsInWith(*state.ostrelProfile), "GitHub, Apple");

    const auto now = QDateTime::fromString("2026-03-10T12:00:00Z", Qt::ISODate);
    const auto rows = AccountText::deviceRows(
        {{.id = "a", .label = "Firefox on Linux", .current = false, .lastSeenAt = "2026-03-07T12:00:00Z"},
         {.id = "b", .label = "iPhone", .lastSeenAt = "not a time"}},
        now);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].value("lastActive"), "Last active 3 days ago");
    EXPECT_EQ(rows[0].value("iconName"), "web-browser");
    EXPECT_EQ(rows[1].value("lastActive"), "");
    EXPECT_EQ(rows[1].value("iconName"), "phone");
}

} // namespace
} // namespace ostrel::hub
