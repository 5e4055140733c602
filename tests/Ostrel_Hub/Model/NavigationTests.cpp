#include "Model/HubSection.h"
#include "Model/Navigation.h"

#include <QSet>
#include <QSignalSpy>
#include <QUrl>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

TEST(HubSection, ListsTheSidebarInOrderAndEachRawValueNamesItsSection) {
    QStringList raw;
    QSet<QString> titles;
    QSet<QString> symbols;
    for (const auto section : allHubSections()) {
        raw.append(rawValue(section));
        EXPECT_EQ(parseHubSection(rawValue(section)), section);
        titles.insert(title(section));
        symbols.insert(symbol(section));
    }
    EXPECT_EQ(raw, (QStringList{"discover", "plugIns", "apps", "free", "freeTools", "earlyAccess", "library", "updates",
                                "downloads", "wishlist", "account"}));
    EXPECT_EQ(titles.size(), qsizetype(hubSectionCount)) << "every section has a title of its own";
    EXPECT_EQ(symbols.size(), qsizetype(hubSectionCount)) << "and an icon of its own";
    EXPECT_FALSE(titles.contains(""));
}

TEST(HubSection, ParsesOnlyExactRawValues) {
    EXPECT_EQ(parseHubSection("plugIns"), HubSection::plugIns);
    EXPECT_EQ(parseHubSection("Plug-ins"), std::nullopt) << "a title is not a raw value";
    EXPECT_EQ(parseHubSection("Library"), std::nullopt);
    EXPECT_EQ(parseHubSection(""), std::nullopt);
    EXPECT_EQ(parseHubSection("HubSection::library"), std::nullopt);
}

struct Observed {
    Navigation navigation;
    QSignalSpy selection{&navigation, &Navigation::selectionChanged};
    QSignalSpy path{&navigation, &Navigation::pathChanged};
    QSignalSpy search{&navigation, &Navigation::searchChanged};
};

TEST(Navigation, StartsOnDiscoverAndAnotherSectionClosesTheDetailPages) {
    Observed o;
    EXPECT_EQ(o.navigation.selection(), HubSection::discover);
    EXPECT_TRUE(o.navigation.path().isEmpty());
    EXPECT_TRUE(o.navigation.search().isEmpty());

    o.navigation.show("p1");
    o.navigation.showExtra("tool");
    EXPECT_EQ(o.navigation.path(), (QStringList{"p1", "extra:tool"}));
    o.navigation.setSelection(HubSection::discover);
    EXPECT_EQ(o.navigation.path().size(), 2) << "the same section keeps its pages";
    EXPECT_EQ(o.selection.count(), 0);

    o.navigation.setSelection(HubSection::library);
    EXPECT_EQ(o.selection.count(), 1);
    EXPECT_TRUE(o.navigation.path().isEmpty());

    o.navigation.show("p2");
    o.navigation.setSelection(std::nullopt);
    EXPECT_EQ(o.navigation.selection(), std::nullopt);
    EXPECT_TRUE(o.navigation.path().isEmpty()) << "no section is a different one too";
}

TEST(Navigation, StartingASearchClosesTheDetailPagesButRefiningItDoesNot) {
    Observed o;
    o.navigation.show("p1");
    o.navigation.setSearch("e");
    EXPECT_TRUE(o.navigation.path().isEmpty());
    o.navigation.show("p2");
    o.navigation.setSearch("eq");
    EXPECT_EQ(o.navigation.path(), QStringList{"p2"});
    o.navigation.setSearch("");
    EXPECT_EQ(o.navigation.path(), QStringList{"p2"});
    EXPECT_EQ(o.search.count(), 3);
    o.navigation.setSearch("");
    EXPECT_EQ(o.search.count(), 3) << "no signal without a change";
}

TEST(Navigation, ShowOpensOverDiscoverFromAccountOrNoSectionAndStaysElsewhere) {
    Observed o;
    o.navigation.setSelection(HubSection::account);
    o.navigation.show("p1");
    EXPECT_EQ(o.navigation.selection(), HubSection::discover);
    EXPECT_EQ(o.navigation.path(), QStringList{"p1"});

    o.navigation.setSelection(std::nullopt);
    o.navigation.show("p2");
    EXPECT_EQ(o.navigation.selection(), HubSection::discover);
    EXPECT_EQ(o.navigation.path(), QStringList{"p2"});

    o.navigation.setSelection(HubSection::library);
    o.navigation.show("p3");
    o.navigation.show("p4");
    EXPECT_EQ(o.navigation.selection(), HubSection::library);
    EXPECT_EQ(o.navigation.path(), (QStringList{"p3", "p4"}));
}

TEST(Navigation, GoBackPopsOnePageAndNothingOnAnEmptyStack) {
    Observed o;
    o.navigation.show("p1");
    o.navigation.showExtra("x");
    o.navigation.goBack();
    EXPECT_EQ(o.navigation.path(), QStringList{"p1"});
    o.navigation.goBack();
    const auto changes = o.path.count();
    o.navigation.goBack();
    EXPECT_TRUE(o.navigation.path().isEmpty());
    EXPECT_EQ(o.path.count(), changes);
}

TEST(Navigation, SelectionAsSeenByTheScreensIsUndefinedForNone) {
    Observed o;
    EXPECT_EQ(o.navigation.property("selection").value<HubSection>(), HubSection::discover);
    o.navigation.setProperty("selection", QVariant::fromValue(HubSection::updates));
    EXPECT_EQ(o.navigation.selection(), HubSection::updates);
    o.navigation.setProperty("selection", static_cast<int>(HubSection::apps));
    EXPECT_EQ(o.navigation.selection(), HubSection::apps);
    o.navigation.setProperty("selection", 11);
    o.navigation.setProperty("selection", -1);
    EXPECT_EQ(o.navigation.selection(), HubSection::apps) << "no such section";
    o.navigation.setProperty("selection", QVariant());
    EXPECT_EQ(o.navigation.selection(), std::nullopt);
    EXPECT_FALSE(o.navigation.property("selection").isValid());
    o.navigation.setProperty("selection", QVariant::fromValue(HubSection::free));
    o.navigation.setProperty("selection", QVariant::fromValue(nullptr));
    EXPECT_EQ(o.navigation.selection(), std::nullopt);
}

TEST(Navigation, HubLinksOpenAProductOrASection) {
    Observed o;
    o.navigation.setSelection(HubSection::account);
    o.navigation.open(QUrl("ostrel-hub://product/vintage-verb"));
    EXPECT_EQ(o.navigation.selection(), HubSection::discover);
    EXPECT_EQ(o.navigation.path(), QStringList{"vintage-verb"});

    o.navigation.open(QUrl("ostrel-hub://updates"));
    EXPECT_EQ(o.navigation.selection(), HubSection::updates);
    EXPECT_TRUE(o.navigation.path().isEmpty());
    o.navigation.open(QUrl("ostrel-hub://library/"));
    EXPECT_EQ(o.navigation.selection(), HubSection::library);

    o.navigation.open(QUrl("ostrel-hub:product/a%2Fb%20c"));
    EXPECT_EQ(o.navigation.path(), QStringList{"a/b c"}) << "words without a host, each decoded on its own";
}

TEST(Navigation, OtherLinksChangeNothing) {
    Observed o;
    o.navigation.setSelection(HubSection::apps);
    o.navigation.show("p1");
    const QStringList ignored{"https://product/p2",      "ostrel://library",        "ostrel-hub://product",
                              "ostrel-hub://product/",   "ostrel-hub://account",    "ostrel-hub://",
                              "ostrel-hub://wishlist/x", "ostrel-hub://products/p2"};
    for (const auto& link : ignored)
        o.navigation.open(QUrl(link));
    EXPECT_EQ(o.navigation.selection(), HubSection::apps);
    EXPECT_EQ(o.navigation.path(), QStringList{"p1"});
}

TEST(Navigation, LinksAreReadUpToTheirLengthLimit) {
    const QString prefix = "ostrel-hub://product/";
    const auto linkOfLength = [&](qsizetype length) { return QUrl(prefix + QString(length - prefix.size(), 'x')); };
    Observed o;
    o.navigation.open(linkOfLength(Navigation::maxLinkLength + 1));
    EXPECT_TRUE(o.navigation.path().isEmpty());
    o.navigation.open(linkOfLength(Navigation::maxLinkLength));
    ASSERT_EQ(o.navigation.path().size(), 1);
    EXPECT_EQ(o.navigation.path().front().size(), Navigation::maxLinkLength - prefix.size());
}

} // namespace
} // namespace ostrel::hub
