#include "Model/StoreState.h"
#include "Model/UpdateAnnouncement.h"

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

StorefrontProduct product(std::string id, std::string name, std::optional<double> price, std::string version = "1.0") {
    StorefrontProduct p{.id = std::move(id), .name = std::move(name), .currentVersion = std::move(version)};
    if (price)
        p.defaultVariation = PricingVariation{.id = "v", .price = {{"EUR", *price}}};
    return p;
}

std::vector<std::string> idsOf(const StoreState::Products& products) {
    std::vector<std::string> ids;
    for (const auto* p : products)
        ids.push_back(p->id);
    return ids;
}

InstallRecord installedAt(std::string id, std::string version) {
    InstallRecord record;
    record.productId = std::move(id);
    record.version = std::move(version);
    return record;
}

struct StoreStateTest : ::testing::Test {
    StoreState state;
    void SetUp() override {
        state.storefront = std::make_shared<const Storefront>(
            Storefront{.suggestedCurrency = "EUR",
                       .products = {product("comp", "Compressor", 49), product("free", "Free Meter", 0),
                                    product("gift", "Gifted Reverb", std::nullopt),
                                    product("gone", "Withdrawn", std::nullopt), product("synth", "Synth", 99, "2.0")}});
    }
};

TEST_F(StoreStateTest, OwnershipComesFromTheStoreAccountAndTheOstrelIDNotTheProductFlag) {
    auto withFlag = *state.storefront;
    withFlag.products[3].owned = true; // the flag alone does not make it owned
    state.storefront = std::make_shared<const Storefront>(withFlag);
    EXPECT_TRUE(state.ownedProducts().empty());

    state.setStoreOwned(
        {ProductSummary{.id = "synth", .name = "Synth"}, ProductSummary{.id = "comp", .name = "Compressor"}});
    state.ostrelProfile = OstrelIDProfile{.products = std::vector<std::string>{"gift"}};
    EXPECT_EQ(idsOf(state.ownedProducts()), (std::vector<std::string>{"comp", "gift", "synth"}));
    EXPECT_EQ(state.storeOwned.front().name, "Compressor") << "kept by name";

    state.storeUser = User{.id = "u", .ownedProducts = std::vector<std::string>{"gone"}};
    EXPECT_TRUE(state.owns("gone"));
    EXPECT_FALSE(state.owns("free"));
}

TEST_F(StoreStateTest, TheStoreShowsPricedOrOwnedProductsAndTheFreeOnesAmongThem) {
    EXPECT_EQ(idsOf(state.products()), (std::vector<std::string>{"comp", "free", "synth"}));
    state.ostrelProfile = OstrelIDProfile{.products = std::vector<std::string>{"gift"}};
    EXPECT_EQ(idsOf(state.products()), (std::vector<std::string>{"comp", "free", "gift", "synth"}));
    EXPECT_EQ(idsOf(state.freeProducts()), (std::vector<std::string>{"free"}));
    ASSERT_NE(state.storeProduct("synth"), nullptr);
    EXPECT_EQ(state.storeProduct("synth")->name, "Synth");
    EXPECT_EQ(state.storeProduct("nothing"), nullptr);
    state.storefront.reset();
    EXPECT_TRUE(state.products().empty());
}

TEST_F(StoreStateTest, UpdatesCompareVersionsByNumberAndPreferTheReleaseNotes) {
    state.setStoreOwned({ProductSummary{.id = "comp"}, ProductSummary{.id = "synth"}, ProductSummary{.id = "free"}});
    state.installed = {installedAt("comp", "1.10"), installedAt("synth", "1.9")};
    const auto* synthFound = state.storeProduct("synth");
    const auto* compFound = state.storeProduct("comp");
    const auto* freeFound = state.storeProduct("free");
    ASSERT_TRUE(synthFound && compFound && freeFound);
    const auto &synth = *synthFound, &comp = *compFound;
    EXPECT_FALSE(state.hasUpdate(*freeFound)) << "not installed, so never an update";
    EXPECT_TRUE(state.hasUpdate(synth));
    EXPECT_FALSE(state.hasUpdate(comp)) << "1.10 is newer than the storefront's 1.0";

    state.releaseNotes["comp"] = ProductSummary{.id = "comp", .currentVersion = "1.9"};
    EXPECT_EQ(state.latestVersion(comp), "1.9");
    EXPECT_FALSE(state.hasUpdate(comp)) << "1.10 is newer than 1.9";
    state.releaseNotes["comp"] = ProductSummary{.id = "comp", .currentVersion = "1.11"};
    EXPECT_EQ(idsOf(state.updatesAvailable()), (std::vector<std::string>{"comp", "synth"}));
    ASSERT_NE(state.record("synth"), nullptr);
    EXPECT_EQ(state.record("synth")->version, "1.9");
}

TEST(UpdateAnnouncement, EachUpdateIsAnnouncedOnceAndTheTitleCountsThemAll) {
    const auto a = product("a", "Alpha", 1), b = product("b", "Beta", 1), c = product("c", "Gamma", 1);
    std::set<std::string> announced{"a"};
    auto notice = UpdateAnnouncement::after({&a}, announced, false, true);
    EXPECT_EQ(notice.action, UpdateAnnouncement::Action::nothing);

    notice = UpdateAnnouncement::after({&a, &b}, announced, false, true);
    EXPECT_EQ(notice.action, UpdateAnnouncement::Action::notify);
    EXPECT_EQ(notice.title, "2 updates are ready");
    EXPECT_EQ(notice.body, "Alpha, Beta");
    EXPECT_EQ(UpdateAnnouncement::after({&a, &b}, announced, false, true).action, UpdateAnnouncement::Action::nothing);

    notice = UpdateAnnouncement::after({&a, &b, &c}, announced, false, false);
    EXPECT_EQ(notice.title, "3 updates are ready");

    std::set<std::string> none;
    notice = UpdateAnnouncement::after({&c}, none, false, true);
    EXPECT_EQ(notice.title, "An update is ready");
    EXPECT_EQ(notice.body, "Gamma");
}

TEST(UpdateAnnouncement, AutomaticUpdatesInstallInsteadOfAnnouncingOnlyWithTheStoreConnected) {
    const auto a = product("a", "Alpha", 1);
    std::set<std::string> announced;
    EXPECT_EQ(UpdateAnnouncement::after({&a}, announced, true, true).action, UpdateAnnouncement::Action::updateAll);
    std::set<std::string> again;
    EXPECT_EQ(UpdateAnnouncement::after({&a}, again, true, false).action, UpdateAnnouncement::Action::notify);
    EXPECT_TRUE(again.contains("a"));
}

} // namespace
} // namespace ostrel::hub
