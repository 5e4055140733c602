// Folding, the product search with its ranking, and the extras search.
#include "Model/ByteSearch.h"
#include "Model/SearchFolding.h"
#include "Model/SearchIndex.h"
#include "Util/Unicode.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

using SearchFolding::fold;

StorefrontProduct product(std::string id, std::string name, std::string tagline = "",
                          std::optional<std::string> description = std::nullopt) {
    return {.id = std::move(id), .name = std::move(name), .tagline = std::move(tagline), .description = description};
}

std::shared_ptr<const Storefront> storefrontOf(std::vector<StorefrontProduct> products) {
    return std::make_shared<const Storefront>(Storefront{.suggestedCurrency = "USD", .products = std::move(products)});
}

std::unordered_set<std::string> idsOf(const Storefront& storefront) {
    std::unordered_set<std::string> ids;
    for (const auto& p : storefront.products)
        ids.insert(p.id);
    return ids;
}

std::vector<std::string> idsOf(const std::vector<SearchIndex::ProductRef>& products) {
    std::vector<std::string> ids;
    for (const auto& p : products)
        ids.push_back(p->id);
    return ids;
}

using Ids = std::vector<std::string>;

// ---- Folding

TEST(SearchFolding, CaseAccentsAndWidthFoldAway) {
    EXPECT_EQ(fold("Séance"), "seance");
    EXPECT_EQ(fold("SÉANCE"), "seance");
    EXPECT_EQ(fold("Se\u0301ance"), "seance"); // the accent as a combining mark
    EXPECT_EQ(fold("ＳＥＡＮＣＥ"), "seance"); // fullwidth letters
    EXPECT_EQ(fold("Straße"), "strasse");
    EXPECT_EQ(fold("Ångström Ørsted"), "angstrom ørsted"); // a stroke is no mark
    EXPECT_EQ(fold("ｶﾞ"), fold("ガ"));                     // halfwidth katakana with its sound mark
    EXPECT_EQ(fold("a\u3000b"), "a b");                    // the ideographic space
    EXPECT_EQ(fold("İstanbul"), "istanbul");
    EXPECT_EQ(fold("EQ & Saturation"), "eq & saturation");
}

TEST(SearchFolding, InvalidUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(fold("caf\xC3"), "caf\uFFFD");
    EXPECT_EQ(fold("\xED\xA0\x80x"), "\uFFFD\uFFFD\uFFFDx"); // an encoded surrogate
    for (const std::string bytes : {"\xFF\xFE", "\xC0\xAF", "A\x80\x80Z", "\xF4\x90\x80\x80", "\xE2\x82"}) {
        const auto folded = fold(bytes);
        EXPECT_TRUE(Unicode::isValidUtf8(folded)) << folded;
        EXPECT_NE(folded.find("\uFFFD"), std::string::npos) << folded;
    }
}

// Text mixing ASCII with the characters folding changes most, at random places.
std::string mixedText(std::mt19937& random) {
    static const std::vector<std::string> pieces{
        "a",          "Z",      " ",  "e",    "\u0301", "\u0327",       "\u0308", "É", "ß", "İ",
        "\u212A",     "ΐ",      "Ｑ", "ｶ",    "ﾞ",      "\u3000",       "ǅ",      "ﬁ", "Ⅻ", "\u0F73",
        "\U0001D165", "\u302E", "가", "\xC3", "\xFF",   "\xED\xA0\x80", "&",      "7", "Ω", "ſ"};
    std::string text;
    const auto length = std::uniform_int_distribution<int>(0, 12)(random);
    for (int i = 0; i < length; ++i)
        text += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random)];
    return text;
}

TEST(SearchFolding, TheAsciiShortcutAgreesWithUnicodeThroughout) {
    std::string everyAscii;
    for (int c = 0; c < 0x80; ++c)
        everyAscii.push_back(static_cast<char>(c));
    EXPECT_EQ(fold(everyAscii), SearchFolding::foldAllThroughUnicode(everyAscii));
    std::mt19937 random(2024);
    for (int i = 0; i < 2000; ++i) {
        const auto text = mixedText(random);
        ASSERT_EQ(fold(text), SearchFolding::foldAllThroughUnicode(text)) << text;
    }
}

// ---- Substring search

// Texts over three letters, so that tokens occur often, overlap, and straddle the sixteen-byte
// blocks at every offset.
std::string textOver(std::string_view letters, size_t length, std::mt19937& random) {
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text.push_back(letters[std::uniform_int_distribution<size_t>(0, letters.size() - 1)(random)]);
    return text;
}

TEST(ByteSearch, FindsWhatStringViewFindFinds) {
    std::mt19937 random(99);
    for (int round = 0; round < 20000; ++round) {
        const auto text = textOver("ab\xFF", std::uniform_int_distribution<size_t>(0, 70)(random), random);
        const auto token = textOver("ab\xFF", std::uniform_int_distribution<size_t>(0, 6)(random), random);
        const auto from = std::uniform_int_distribution<size_t>(0, text.size() + 2)(random);
        ASSERT_EQ(ByteSearch::find(text, token, from), std::string_view(text).find(token, from))
            << '"' << text << "\" \"" << token << "\" " << from;
    }
    const std::string longText = std::string(40, 'e') + "eq" + std::string(40, 'e');
    EXPECT_EQ(ByteSearch::find(longText, "eq"), 40u);
    EXPECT_EQ(ByteSearch::find(longText, "eq", 41), std::string_view::npos);
    EXPECT_EQ(ByteSearch::find(longText, std::string(82, 'e')), std::string_view::npos);
}

// ---- The index

TEST(SearchIndex, EachEntryIsTheSixTextsJoinedThenFolded) {
    const auto storefront =
        storefrontOf({product("aurora-verb", "Aurora Verb", "Shimmering Halls", "Six Spaces."),
                      product("meter-one", "Meter One", "Loudness"), product("unlisted", "Ünlisted", "Odd")});
    const SearchIndex index(storefront);
    ASSERT_EQ(index.size(), 3u);
    EXPECT_EQ(index.text(0), "aurora verb shimmering halls six spaces. time & space plug-ins vst3, au, clap");
    EXPECT_EQ(index.text(1), "meter one loudness  utilities plug-ins vst3, au, clap, vst");
    EXPECT_EQ(index.text(2), "unlisted odd  plug-ins plug-ins ");
    EXPECT_EQ(index.product(2).get(), &storefront->products[2]);
}

TEST(SearchIndex, FollowsTheStorefrontAndKeepsResultsOfAnOldOneAlive) {
    auto first = storefrontOf({product("velvet-comp", "Velvet Comp")});
    SearchIndex index(first);
    const std::unordered_set<std::string> allowed{"velvet-comp", "crumble"};
    auto found = index.results("velvet", allowed);
    ASSERT_EQ(idsOf(found), Ids{"velvet-comp"});

    const std::weak_ptr<const Storefront> old = first;
    first.reset();
    index.rebuild(storefrontOf({product("crumble", "Crumble")}));
    EXPECT_FALSE(old.expired());
    EXPECT_EQ(found.front()->name, "Velvet Comp");
    EXPECT_TRUE(index.results("velvet", allowed).empty());
    EXPECT_EQ(idsOf(index.results("crumble", allowed)), Ids{"crumble"});
    found.clear();
    EXPECT_TRUE(old.expired()); // the index itself holds nothing of the old storefront

    index.rebuild(nullptr);
    EXPECT_EQ(index.size(), 0u);
}

// ---- Queries

TEST(SearchIndex, QueriesSplitAtSpacesAndWithoutTokensFindNothing) {
    const auto storefront =
        storefrontOf({product("crumble", "Crumble", "Bit crushing"), product("unlisted", "Velvet", "Soft")});
    const SearchIndex index(storefront);
    const auto allowed = idsOf(*storefront);
    EXPECT_EQ(SearchIndex::tokens("  Bit   CRUSH "), (Ids{"bit", "crush"}));
    EXPECT_TRUE(SearchIndex::tokens("   ").empty());
    EXPECT_TRUE(index.results("   ", allowed).empty());
    EXPECT_TRUE(index.results("", allowed).empty());
    EXPECT_EQ(idsOf(index.results(" crush  bit ", allowed)), Ids{"crumble"});
    EXPECT_TRUE(index.results("crush organ", allowed).empty()); // every token must occur
    EXPECT_TRUE(index.results("vstvelvet", allowed).empty());   // nor run from one text into the next
}

TEST(SearchIndex, FindsByCategoryKindAndFormats) {
    const auto storefront = storefrontOf({
        product("prism-eq", "Prism", "Dynamic bands"),
        product("saturn-drive", "Saturn Drive", "Tube colour"),
        product("velvet-comp", "Velvet Comp", "Opto"),
        product("sketchpad", "Sketchpad", "Ideas"),
        product("pitch-pong", "Pitch Pong", "Sing"),
    });
    const SearchIndex index(storefront);
    const auto allowed = idsOf(*storefront);
    EXPECT_EQ(idsOf(index.results("eq", allowed)), (Ids{"prism-eq", "saturn-drive"}));
    EXPECT_EQ(idsOf(index.results("APPS", allowed)), Ids{"sketchpad"});
    EXPECT_EQ(idsOf(index.results("games", allowed)), Ids{"pitch-pong"});
    EXPECT_EQ(idsOf(index.results("clap dynamics", allowed)), Ids{"velvet-comp"});
}

TEST(SearchIndex, AccentsCaseAndWidthMatchEitherWay) {
    const auto storefront = storefrontOf({
        product("a", "Séance Reverb"),
        product("b", "Seance Delay"),
        product("c", "Other", "", "A SÉANCE of tape"),
        product("d", "Unrelated"),
    });
    const SearchIndex index(storefront);
    const auto allowed = idsOf(*storefront);
    const Ids all{"b", "a", "c"}; // both names start with the token; "Seance" < "Séance"
    for (const auto* query : {"seance", "SEANCE", "séance", "SÉANCE", "Se\u0301ance", "ｓｅａｎｃｅ", "ＳÉＡＮＣＥ"})
        EXPECT_EQ(idsOf(index.results(query, allowed)), all) << query;
}

TEST(SearchIndex, OnlyAllowedProductsAreFound) {
    const auto storefront = storefrontOf({product("priced", "Tape Echo"), product("hidden", "Tape Saturator")});
    const SearchIndex index(storefront);
    EXPECT_EQ(index.size(), 2u);
    EXPECT_EQ(idsOf(index.results("tape", {"priced"})), Ids{"priced"});
    EXPECT_EQ(idsOf(index.results("tape", {"priced", "hidden"})), (Ids{"priced", "hidden"}));
    EXPECT_TRUE(index.results("tape", {}).empty());
}

TEST(SearchIndex, NamesStartingWithTheFirstTokenLeadThenNamesInCodePointOrder) {
    const auto storefront = storefrontOf({
        product("aurora", "Aurora Verb"),
        product("zed", "Zed", "reverb tails"),
        product("lab", "Verb Lab"),
        product("bal", "Lab Verb"),
        product("arc", "Verb Arc", "A verb for arcs"),
        product("accented", "Vérb Zeta"),
        product("twin-2", "Twin", "verb"),
        product("lower", "alpha", "verb"),
        product("twin-1", "Twin", "verb"),
    });
    const SearchIndex index(storefront);
    const auto allowed = idsOf(*storefront);
    EXPECT_EQ(idsOf(index.results("verb", allowed)),
              (Ids{"arc", "lab", "accented", "aurora", "bal", "twin-2", "twin-1", "zed", "lower"}));
    // Only the first token decides who leads.
    EXPECT_EQ(idsOf(index.results("lab verb", allowed)), (Ids{"bal", "lab"}));
    EXPECT_EQ(idsOf(index.results("verb lab", allowed)), (Ids{"lab", "bal"}));
    EXPECT_EQ(idsOf(index.results("tails verb", allowed)), Ids{"zed"});
}

// ---- Extras

ExtrasItem extra(std::string id, std::string name, std::string kind, std::optional<std::string> summary,
                 std::optional<std::string> stage = std::nullopt) {
    return {.id = std::move(id), .name = std::move(name), .kind = std::move(kind), .stage = stage, .summary = summary};
}

std::vector<std::string> idsOf(const std::vector<ExtrasItem>& items) {
    std::vector<std::string> ids;
    for (const auto& item : items)
        ids.push_back(item.id);
    return ids;
}

TEST(SearchIndex, ExtrasMatchNameSummaryKindAndStageInFeedOrder) {
    CatalogExtras extras;
    extras.items = {
        extra("tuner", "Zeta Tuner", "tool", "A free chromatic tuner."),
        extra("preview", "Prism Preview", "plugin", "Try the next Prism.", "Public Préview"),
        extra("loop", "Alpha Loops", "tool", std::nullopt),
        extra("pong", "Pitch Pong", "game", "Réglage fin"),
    };
    EXPECT_EQ(idsOf(SearchIndex::searchExtras(extras, "TOOL")), (Ids{"tuner", "loop"}));
    EXPECT_EQ(idsOf(SearchIndex::searchExtras(extras, "public preview")), Ids{"preview"});
    EXPECT_EQ(idsOf(SearchIndex::searchExtras(extras, "reglage pong")), Ids{"pong"});
    EXPECT_EQ(idsOf(SearchIndex::searchExtras(extras, "chromatic free")), Ids{"tuner"});
    EXPECT_EQ(idsOf(SearchIndex::searchExtras(extras, "p")), (Ids{"preview", "loop", "pong"}));
    EXPECT_TRUE(SearchIndex::searchExtras(extras, "tool game").empty());
    EXPECT_TRUE(SearchIndex::searchExtras(extras, "  ").empty());
}

} // namespace
} // namespace ostrel::hub
