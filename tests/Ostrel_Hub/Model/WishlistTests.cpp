#include "Model/HubSettings.h"
#include "Model/Wishlist.h"
#include "TempDir.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

struct SettingsFile {
    test::TempDir dir;
    QString path = QString::fromStdString((dir / "hub.conf").string());
    // What a fresh start of the app would read.
    QStringList stored() const { return HubSettings(path).wishlist(); }
};

TEST(Wishlist, ToggleTwiceStoresEachTimeAndEndsAsBefore) {
    SettingsFile file;
    HubSettings settings(file.path);
    settings.setWishlist({"kept"});
    Wishlist wishlist(settings);
    QSignalSpy changed(&wishlist, &Wishlist::idsChanged);

    wishlist.toggle("verb");
    EXPECT_TRUE(wishlist.contains("verb"));
    EXPECT_EQ(file.stored(), (QStringList{"kept", "verb"}));
    wishlist.toggle("verb");
    EXPECT_FALSE(wishlist.contains("verb"));
    EXPECT_EQ(file.stored(), QStringList{"kept"});
    EXPECT_EQ(wishlist.ids(), QStringList{"kept"});
    EXPECT_EQ(changed.count(), 2);
}

TEST(Wishlist, ANewListOnTheSameSettingsSeesTheChoicesInAStableOrder) {
    SettingsFile file;
    {
        HubSettings settings(file.path);
        Wishlist wishlist(settings);
        for (const auto* id : {"zeta", "alpha", "Mid"})
            wishlist.toggle(id);
    }
    HubSettings settings(file.path);
    Wishlist again(settings);
    EXPECT_EQ(again.ids(), (QStringList{"Mid", "alpha", "zeta"}));
    EXPECT_EQ(again.property("ids").toStringList(), again.ids());

    settings.setWishlist({"b", "a", "b"});
    EXPECT_EQ(Wishlist(settings).ids(), (QStringList{"a", "b"})) << "a stored list with repeats is a set";
}

TEST(Wishlist, ABoughtProductLeavesTheListAndNothingElseChanges) {
    SettingsFile file;
    HubSettings settings(file.path);
    settings.setWishlist({"a", "b", "c"});
    Wishlist wishlist(settings);
    QSignalSpy changed(&wishlist, &Wishlist::idsChanged);

    wishlist.removeAll({"b", "not-listed"});
    EXPECT_EQ(wishlist.ids(), (QStringList{"a", "c"}));
    EXPECT_EQ(file.stored(), (QStringList{"a", "c"}));
    EXPECT_EQ(changed.count(), 1);

    wishlist.removeAll({"not-listed"});
    wishlist.removeAll({});
    EXPECT_EQ(changed.count(), 1) << "nothing bought from the list";
}

} // namespace
} // namespace ostrel::hub
