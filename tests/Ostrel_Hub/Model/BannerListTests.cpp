#include "EventLoop.h"
#include "Model/BannerList.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <chrono>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

using namespace std::chrono_literals;
using Tone = Banner::Tone;

// A lifetime no test waits for.
constexpr auto neverInATest = std::chrono::hours(1);

QStringList column(const BannerList& list, int role) {
    QStringList values;
    for (int row = 0; row < list.rowCount(); ++row)
        values.append(list.data(list.index(row), role).toString());
    return values;
}

struct CheckedBanners {
    explicit CheckedBanners(BannerLifetimes lifetimes) : list(lifetimes) {}
    BannerList list;
    QAbstractItemModelTester tester{&list, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST(BannerList, ShowsEachToneWithItsTextAndSymbolInArrivalOrder) {
    CheckedBanners banners({neverInATest, neverInATest});
    QSignalSpy counted(&banners.list, &BannerList::countChanged);
    const auto first = banners.list.flash(Tone::info, "Checking for updates");
    banners.list.flash(Tone::success, "Installed");
    banners.list.flash(Tone::failure, "The download failed.");

    EXPECT_EQ(banners.list.count(), 3);
    EXPECT_EQ(counted.count(), 3);
    EXPECT_EQ(column(banners.list, BannerList::textRole),
              (QStringList{"Checking for updates", "Installed", "The download failed."}));
    EXPECT_EQ(column(banners.list, BannerList::toneRole), (QStringList{"info", "success", "failure"}));
    EXPECT_EQ(column(banners.list, BannerList::symbolRole),
              (QStringList{"dialog-information", "object-select", "dialog-warning"}));
    EXPECT_EQ(QUuid(banners.list.data(banners.list.index(0), BannerList::bannerIdRole).toString()), first);
    const auto roles = banners.list.roleNames();
    EXPECT_EQ(roles.value(BannerList::bannerIdRole), "bannerId");
    EXPECT_EQ(roles.value(BannerList::symbolRole), "symbol");
    const auto ids = column(banners.list, BannerList::bannerIdRole);
    EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), 3) << "every banner has an id of its own";
}

TEST(BannerList, SuccessAndInfoLeaveAfterTheirLifetimeAndFailuresAfterTheirLongerOne) {
    CheckedBanners banners({.failure = 1s, .other = 10ms});
    banners.list.flash(Tone::failure, "first failure");
    banners.list.flash(Tone::success, "done");
    banners.list.flash(Tone::failure, "second failure");
    banners.list.flash(Tone::info, "note");
    EXPECT_EQ(banners.list.count(), 4) << "all are on screen at once";

    ASSERT_TRUE(test::runUntil([&] { return banners.list.count() <= 2; }));
    EXPECT_EQ(column(banners.list, BannerList::textRole), (QStringList{"first failure", "second failure"}));
    ASSERT_TRUE(test::runUntil([&] { return banners.list.count() == 0; }));
}

TEST(BannerList, DismissRemovesOneBannerAtOnceAndTheOthersStillExpire) {
    CheckedBanners banners({.failure = neverInATest, .other = 30ms});
    const auto early = banners.list.flash(Tone::info, "early");
    const auto middle = banners.list.flash(Tone::failure, "middle");
    banners.list.flash(Tone::success, "late");

    banners.list.dismiss(middle);
    EXPECT_EQ(column(banners.list, BannerList::textRole), (QStringList{"early", "late"}));
    banners.list.dismiss(early.toString(QUuid::WithoutBraces));
    EXPECT_EQ(column(banners.list, BannerList::textRole), (QStringList{"late"}));
    banners.list.dismiss(QUuid::createUuid());
    banners.list.dismiss(QStringLiteral("not an id"));
    EXPECT_EQ(banners.list.count(), 1);

    ASSERT_TRUE(test::runUntil([&] { return banners.list.count() == 0; }));
    EXPECT_TRUE(banners.list.banners().isEmpty());
}

} // namespace
} // namespace ostrel::hub
