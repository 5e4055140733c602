// The small helpers behind the screens' words: sizes, times, prices, action buttons, library
// rows and extras items.
#include "Model/ByteCount.h"
#include "Model/ExtrasText.h"
#include "Model/LibraryRowText.h"
#include "Model/PriceText.h"
#include "Model/ProductAction.h"
#include "Model/RelativeTime.h"

#include <gtest/gtest.h>

#include <unicode/locid.h>

namespace ostrel::hub {
namespace {

const QLocale english(QLocale::English, QLocale::UnitedStates);

TEST(ByteCount, WritesDecimalUnitsTheWayTheMacDoes) {
    EXPECT_EQ(ByteCount::format(0, english), "Zero KB");
    EXPECT_EQ(ByteCount::format(1, english), "1 byte");
    EXPECT_EQ(ByteCount::format(999, english), "999 bytes");
    EXPECT_EQ(ByteCount::format(1000, english), "1 KB");
    EXPECT_EQ(ByteCount::format(1499, english), "1 KB");
    EXPECT_EQ(ByteCount::format(1500, english), "2 KB");
    EXPECT_EQ(ByteCount::format(345'000, english), "345 KB");
    EXPECT_EQ(ByteCount::format(999'499, english), "999 KB");
    // Rounding up to a thousand of one unit says one of the next.
    EXPECT_EQ(ByteCount::format(999'500, english), "1 MB");
    EXPECT_EQ(ByteCount::format(12'400'000, english), "12.4 MB");
    EXPECT_EQ(ByteCount::format(12'000'000, english), "12 MB");
    EXPECT_EQ(ByteCount::format(1'230'000'000, english), "1.23 GB");
    EXPECT_EQ(ByteCount::format(1'200'000'000, english), "1.2 GB");
    EXPECT_EQ(ByteCount::format(12'400'000, QLocale(QLocale::German, QLocale::Germany)), "12,4 MB");
}

TEST(RelativeTime, SaysTheLargestWholeUnitThatHasPassed) {
    const QDateTime now(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC);
    const auto ago = [&](qint64 seconds) { return RelativeTime::ago(now.addSecs(-seconds), now); };
    EXPECT_EQ(ago(0), "just now");
    EXPECT_EQ(ago(59), "just now");
    EXPECT_EQ(ago(-30), "just now") << "a clock slightly ahead";
    EXPECT_EQ(ago(60), "1 minute ago");
    EXPECT_EQ(ago(119), "1 minute ago");
    EXPECT_EQ(ago(120), "2 minutes ago");
    EXPECT_EQ(ago(3599), "59 minutes ago");
    EXPECT_EQ(ago(3600), "1 hour ago");
    EXPECT_EQ(ago(86'399), "23 hours ago");
    EXPECT_EQ(ago(86'400), "yesterday");
    EXPECT_EQ(ago(2 * 86'400), "2 days ago");
    EXPECT_EQ(ago(7 * 86'400), "1 week ago");
    EXPECT_EQ(ago(29 * 86'400), "4 weeks ago");
    EXPECT_EQ(ago(30 * 86'400), "1 month ago");
    EXPECT_EQ(ago(364 * 86'400), "12 months ago");
    EXPECT_EQ(ago(365 * 86'400), "1 year ago");
    EXPECT_EQ(ago(800 * 86'400), "2 years ago");
}

TEST(RelativeTime, TheCheckedLineSaysWhenNothingWasCheckedYet) {
    const QDateTime now(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC);
    EXPECT_EQ(RelativeTime::checkedLine(QDateTime(), now), "Not checked yet");
    EXPECT_EQ(RelativeTime::checkedLine(now.addSecs(-300), now), "Checked 5 minutes ago");
    EXPECT_EQ(RelativeTime::checkedLine(now.addSecs(-10), now), "Checked just now");
}

PricingVariation variation(PriceMap price, PriceMap original = {}, Recurrence recurrence = {}) {
    return PricingVariation{.id = "v",
                            .name = "Full licence",
                            .originalPrice = std::move(original),
                            .price = std::move(price),
                            .recurrence = std::move(recurrence)};
}

StorefrontProduct priced(std::optional<PricingVariation> defaultVariation) {
    return StorefrontProduct{.id = "p", .name = "P", .defaultVariation = std::move(defaultVariation)};
}

TEST(PriceText, WritesMoneyInTheLocaleAndFallsBackToThePlainNumber) {
    EXPECT_EQ(PriceText::money(45, "EUR", "en_US"), QString::fromUtf8("€45.00"));
    EXPECT_EQ(PriceText::money(12.99, "USD", "en_US"), "$12.99");
    EXPECT_EQ(PriceText::money(45, "EUR", "de_DE"), QString::fromUtf8("45,00\u00a0€"));
    EXPECT_EQ(PriceText::money(45, "eur", "en_US"), "45") << "not a currency code";
    EXPECT_EQ(PriceText::money(12.5, "EURO", "en_US"), "12.50");
}

// Without a locale the hub writes money one way, whatever another library made ICU's default.
TEST(PriceText, ASessionWithoutALocaleWritesMoneyAsInAmericanEnglish) {
    const QLocale was;
    const icu::Locale icuWas = icu::Locale::getDefault();
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("de_DE"), status);
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(PriceText::userLocale(), "en_US");
    EXPECT_EQ(PriceText::money(45, "EUR", PriceText::userLocale()), QString::fromUtf8("€45.00"));
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    EXPECT_EQ(PriceText::userLocale(), "fr_FR");
    QLocale::setDefault(was);
    icu::Locale::setDefault(icuWas, status);
}

TEST(PriceText, APriceIsInTheChosenCurrencyElseTheFirstOneAndARecurringOneSaysItsCycle) {
    const auto full = variation({{"EUR", 45}, {"GBP", 39}, {"USD", 49}});
    EXPECT_EQ(PriceText::format(full, full.price, "USD", "en_US"), "$49.00");
    EXPECT_EQ(PriceText::format(full, full.price, "JPY", "en_US"), QString::fromUtf8("€45.00"));
    EXPECT_EQ(PriceText::format(full, {}, "EUR", "en_US"), "");
    const auto monthly = variation({{"EUR", 11.99}}, {}, Recurrence{.type = "Recurring", .cycleLength = "Monthly"});
    EXPECT_EQ(PriceText::format(monthly, monthly.price, "EUR", "en_US"), QString::fromUtf8("€11.99 / monthly"));
    const auto once = variation({{"EUR", 11.99}}, {}, Recurrence{.type = "OneTime", .cycleLength = "Monthly"});
    EXPECT_EQ(PriceText::format(once, once.price, "EUR", "en_US"), QString::fromUtf8("€11.99"));
}

TEST(PriceText, AProductIsFreeNotForSaleOrItsPriceWithTheOldOneWhenDiscounted) {
    EXPECT_EQ(PriceText::productPrice(priced(variation({{"EUR", 0}})), "EUR", "en_US"), "Free");
    EXPECT_EQ(PriceText::productPrice(priced(std::nullopt), "EUR", "en_US"), "Not for sale");
    EXPECT_EQ(PriceText::productPrice(priced(variation({{"USD", 49}})), "EUR", "en_US"), "Not for sale");
    EXPECT_EQ(PriceText::productPrice(priced(variation({{"EUR", 55}})), "EUR", "en_US"), QString::fromUtf8("€55.00"));

    const auto discounted = priced(variation({{"EUR", 55}}, {{"EUR", 74}}));
    EXPECT_EQ(PriceText::wasPrice(discounted, "EUR", "en_US"), QString::fromUtf8("was €74.00"));
    EXPECT_EQ(PriceText::wasPrice(discounted, "USD", "en_US"), "");
    EXPECT_EQ(PriceText::wasPrice(priced(variation({{"EUR", 55}}, {{"EUR", 55}})), "EUR", "en_US"), "");
    EXPECT_EQ(PriceText::wasPrice(priced(variation({{"EUR", 55}})), "EUR", "en_US"), "");
    EXPECT_EQ(PriceText::wasPrice(priced(std::nullopt), "EUR", "en_US"), "");
}

using Kind = ProductAction::Kind;
using Stage = InstallJob::Stage;

ProductAction decide(ProductFacts facts) {
    return ProductAction::decide(facts);
}

TEST(ProductAction, WhatIsNotOwnedIsGotForFreeOrBoughtAtItsPrice) {
    EXPECT_EQ(decide({.isFree = true, .isPurchasable = true}), (ProductAction{Kind::get, "Get"}));
    EXPECT_EQ(decide({.isPurchasable = true, .price = "€45.00"}), (ProductAction{Kind::buy, "€45.00"}));
    EXPECT_EQ(decide({}), (ProductAction{Kind::none, ""})) << "neither for sale nor owned";
}

TEST(ProductAction, WhatIsOwnedInstallsAndOnceInstalledUpdatesOpensOrSaysSo) {
    const ProductFacts owned{.isPurchasable = true, .owned = true, .hasMacDownload = true, .price = "€45.00"};
    EXPECT_EQ(decide(owned), (ProductAction{Kind::install, "Install"}));
    auto noDownload = owned;
    noDownload.hasMacDownload = false;
    EXPECT_EQ(decide(noDownload), (ProductAction{Kind::owned, "Owned"}));
    auto plugIn = owned;
    plugIn.installed = true;
    EXPECT_EQ(decide(plugIn), (ProductAction{Kind::installed, "Installed"}));
    auto app = plugIn;
    app.isApp = true;
    EXPECT_EQ(decide(app), (ProductAction{Kind::open, "Open"}));
    app.hasUpdate = true;
    EXPECT_EQ(decide(app), (ProductAction{Kind::update, "Update"}));
    plugIn.hasUpdate = true;
    EXPECT_EQ(decide(plugIn), (ProductAction{Kind::update, "Update"}));
}

TEST(ProductAction, AJobUnderWayShowsItsProgressAPausedOneResumesAndAFinishedOneStepsAside) {
    ProductFacts facts{.isPurchasable = true, .owned = true, .hasMacDownload = true};
    for (const auto stage :
         {Stage::queued, Stage::resolving, Stage::downloading, Stage::verifying, Stage::installing}) {
        facts.jobStage = stage;
        EXPECT_EQ(decide(facts).kind, Kind::progress) << static_cast<int>(stage);
    }
    facts.jobStage = Stage::paused;
    EXPECT_EQ(decide(facts), (ProductAction{Kind::resume, "Resume"}));
    facts.jobStage = Stage::failed;
    EXPECT_EQ(decide(facts).kind, Kind::install);
    facts.jobStage = Stage::installed;
    facts.installed = true;
    EXPECT_EQ(decide(facts).kind, Kind::installed);
}

TEST(ProductAction, KindsAreNamedAsTheScreensCompareThem) {
    const std::vector<std::pair<Kind, QString>> names{
        {Kind::get, "get"},           {Kind::buy, "buy"},   {Kind::install, "install"},     {Kind::update, "update"},
        {Kind::resume, "resume"},     {Kind::open, "open"}, {Kind::installed, "installed"}, {Kind::owned, "owned"},
        {Kind::progress, "progress"}, {Kind::none, "none"}};
    for (const auto& [kind, name] : names)
        EXPECT_EQ(ProductAction{kind}.kindName(), name);
}

TEST(LibraryRowText, FormatsAreSpelledOutAndJoinedWithPlus) {
    EXPECT_EQ(LibraryRowText::formats("VST3, AU, CLAP"), "VST3 + Audio Unit + CLAP");
    EXPECT_EQ(LibraryRowText::formats("VST3, AU, CLAP, VST"), "VST3 + Audio Unit + CLAP + VST");
    EXPECT_EQ(LibraryRowText::formats("AU"), "Audio Unit");
    EXPECT_EQ(LibraryRowText::formats("App"), "App");
    EXPECT_EQ(LibraryRowText::formats(""), "");
    EXPECT_EQ(LibraryRowText::formats("VST3,,AU, AU"), "VST3 + Audio Unit");
}

TEST(LibraryRowText, TheStateLineFollowsTheLedgerTheDiskAndTheStore) {
    LibraryRowText::RowFacts facts{.catalogueFormats = "VST3, AU", .hasMacDownload = true, .latestVersion = "2.4.1"};
    EXPECT_EQ(LibraryRowText::stateLine(facts), "Not installed. Latest 2.4.1");
    facts.latestVersion.reset();
    EXPECT_EQ(LibraryRowText::stateLine(facts), "Not installed.");
    facts.hasMacDownload = false;
    EXPECT_EQ(LibraryRowText::stateLine(facts), "No macOS download yet");
    facts.installedVersion = "2.3.0";
    EXPECT_EQ(LibraryRowText::stateLine(facts), "Installed 2.3.0");
    facts.disk.removed = true;
    EXPECT_EQ(LibraryRowText::stateLine(facts), "Removed outside the hub");
}

TEST(LibraryRowText, TheOlderCopyWarningOnlyConcernsWhatIsInstalled) {
    LibraryRowText::RowFacts facts{.catalogueFormats = "App", .isApp = true, .installedVersion = "1.0"};
    facts.disk.olderCopy = true;
    auto row = LibraryRowText::row(facts);
    EXPECT_EQ(row["formats"].toString(), "App");
    EXPECT_EQ(row["stateLine"].toString(), "Installed 1.0");
    EXPECT_TRUE(row["olderCopy"].toBool());
    EXPECT_TRUE(row["isApp"].toBool());
    EXPECT_TRUE(row["installed"].toBool());
    facts.disk.removed = true;
    row = LibraryRowText::row(facts);
    EXPECT_FALSE(row["olderCopy"].toBool());
    EXPECT_FALSE(row["installed"].toBool());
    facts.installedVersion.reset();
    facts.disk = {.olderCopy = true};
    EXPECT_FALSE(LibraryRowText::row(facts)["olderCopy"].toBool());
}

ExtrasItem::InstallRoute browserTo(const std::string& address) {
    return ExtrasItem::InstallRoute::browser(Url(address));
}

TEST(ExtrasText, RoutesAreNamedByWhereTheyLead) {
    EXPECT_EQ(ExtrasText::routeName(ExtrasItem::InstallRoute::hub("prism-eq")), "hub");
    EXPECT_EQ(ExtrasText::routeName(browserTo("https://github.com/ostrel/tool/releases")), "github");
    EXPECT_EQ(ExtrasText::routeName(browserTo("https://ostrel.github.com/tool")), "github");
    EXPECT_EQ(ExtrasText::routeName(browserTo("https://notgithub.com/tool")), "release");
    EXPECT_EQ(ExtrasText::routeName(browserTo("https://ostrel.example/extras/tool")), "release");
    EXPECT_EQ(ExtrasText::routeName(ExtrasItem::InstallRoute::unavailable()), "soon");
}

TEST(ExtrasText, TheActionSaysWhatTheButtonDoes) {
    const auto hub = ExtrasText::action(ExtrasItem::InstallRoute::hub("prism-eq"), "Install");
    EXPECT_EQ(hub["kind"].toString(), "hub");
    EXPECT_EQ(hub["title"].toString(), "Install");
    EXPECT_EQ(hub["detail"].toString(), "");
    const auto view = ExtrasText::action(browserTo("https://ostrel.example/extras/tool"), "Install");
    EXPECT_EQ(view["kind"].toString(), "view");
    EXPECT_EQ(view["title"].toString(), "View");
    EXPECT_EQ(view["detail"].toString(), "Open the release page in your browser");
    const auto github = ExtrasText::action(browserTo("https://github.com/ostrel/tool"), "Install");
    EXPECT_EQ(github["kind"].toString(), "github");
    EXPECT_EQ(github["title"].toString(), "GitHub");
    const auto soon = ExtrasText::action(ExtrasItem::InstallRoute::unavailable(), "Install");
    EXPECT_EQ(soon["kind"].toString(), "soon");
    EXPECT_EQ(soon["title"].toString(), "Soon");
    EXPECT_EQ(soon["detail"].toString(), "Not yet released");
}

TEST(ExtrasText, AnItemPageNamesItsKindShelfAndHowItInstalls) {
    const ExtrasItem game{.id = "pitch-pong",
                          .name = "Pitch Pong",
                          .kind = "game",
                          .summary = "Keep the ball up by singing in tune.",
                          .releaseUrl = "https://ostrel.example/extras/pitch-pong"};
    const auto page = ExtrasText::page(game, browserTo(*game.releaseUrl), "");
    EXPECT_TRUE(page["exists"].toBool());
    EXPECT_EQ(page["title"].toString(), "Pitch Pong");
    EXPECT_EQ(page["summary"].toString(), "Keep the ball up by singing in tune.");
    EXPECT_EQ(page["kindTitle"].toString(), "Game");
    EXPECT_EQ(page["shelfTitle"].toString(), "Early Access");
    EXPECT_EQ(page["releaseUrl"].toString(), "https://ostrel.example/extras/pitch-pong");
    EXPECT_EQ(page["installsLine"].toString(), "From the release page. The hub only installs code signed by Ostrel.");
    EXPECT_EQ(page["action"].toMap()["kind"].toString(), "view");

    const ExtrasItem tool{.id = "tuner", .name = "Tuner", .kind = "tool", .releaseUrl = "http://plain.example/x"};
    const auto hubPage = ExtrasText::page(tool, ExtrasItem::InstallRoute::hub("tuner"), "Get");
    EXPECT_EQ(hubPage["shelfTitle"].toString(), "Free Tools");
    EXPECT_EQ(hubPage["installsLine"].toString(), "Through the hub, after its signature is checked");
    EXPECT_EQ(hubPage["releaseUrl"].toString(), "") << "only a plain https address is offered";
    EXPECT_EQ(hubPage["action"].toMap()["title"].toString(), "Get");
    EXPECT_EQ(ExtrasText::kindTitle(ExtrasItem{.kind = ""}), "");
}

} // namespace
} // namespace ostrel::hub
