#include "Services/JsonReader.h"
#include "Services/JsonTree.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

using namespace ostrel;
using namespace std::string_literals;
using Kind = JsonTree::Kind;

namespace {

// Everything a decoder can learn from a tree, spelt out with each value's kind: arrays in
// order, objects by key as the reader sees them.
std::string shapeOf(const JsonTree& tree, JsonTree::Index node = JsonTree::root) {
    const auto& value = tree.node(node).value;
    switch (tree.kind(node)) {
    case Kind::null:
        return "null";
    case Kind::boolean:
        return value.boolean ? "true" : "false";
    case Kind::integer:
        return "i" + std::to_string(value.integer);
    case Kind::whole:
        return "u" + std::to_string(value.whole);
    case Kind::real: {
        char exact[64];
        std::snprintf(exact, sizeof exact, "%a", value.real);
        return "r"s + exact;
    }
    case Kind::string:
        return "s" + std::to_string(tree.string(node).size()) + ":" + std::string(tree.string(node));
    case Kind::array: {
        std::string shape = "[" + std::to_string(tree.size(node)) + "|";
        for (auto element = node + 1; element < tree.next(node); element = tree.next(element))
            shape += shapeOf(tree, element) + ",";
        return shape + "]";
    }
    case Kind::object: {
        std::string shape = "{";
        for (const auto& [key, member] : tree.members(node))
            shape += std::string(key) + "=" + shapeOf(tree, member) + ",";
        return shape + "}";
    }
    default:
        return "other";
    }
}

// What nlohmann::json makes of `text`, as a tree.
std::string nlohmannShapeOf(std::string_view text) {
    const auto document = nlohmann::json::parse(text);
    return shapeOf(JsonTree(document));
}

// The message nlohmann::json's refusal of `text` comes out as.
std::string nlohmannRefusalOf(std::string_view text) {
    try {
        [[maybe_unused]] const auto parsed = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        return "Not valid JSON at byte " + std::to_string(error.byte) + ".";
    } catch (const nlohmann::json::out_of_range&) {
        return "Not valid JSON at the top level.";
    }
    return "accepted";
}

const std::vector<std::string> acceptedTexts = {
    // layout, literals and containers
    " \t\r\n{ \"a\" : [ true , false , null ] , \"b\" : { } , \"c\" : [ ] } \n",
    "[[[[]]],{},[{}],\"\"]",
    "\xEF\xBB\xBF{\"after\":\"a byte order mark\"}",
    "\"a bare string\"",
    "7",
    // numbers: unsigned without a sign, signed with one, the rest doubles
    "[0,-0,7,-7,1.5,-0.0,1e5,1E+5,2e-3,-1.25E-2,0.1,123456789.987654321]",
    "[18446744073709551615,18446744073709551616,-9223372036854775808,-9223372036854775809]",
    "[123456789012345678901234567890,1.7976931348623157e308,2.2250738585072014e-308,4.9e-324]",
    "[1e-400,-1e-400,0e999999]",
    // strings: every escape, surrogate pairs, UTF-8 of every length, NUL written as an escape
    R"(["\"\\\/\b\f\n\r\t","\u0041\u00e9\u20AC\uD83D\uDE00","\u0000","tab\tin\u0009side"])",
    "[\"caf\xC3\xA9\",\"\xE2\x82\xAC\",\"\xF0\x9F\x98\x80\",\"\xEF\xBF\xBF\xF4\x8F\xBF\xBF\",\"\x7F\"]",
    "{\"long\":\"" + std::string(1000, 'x') + "\xC3\xA9" + std::string(37, 'y') + "\"}",
    // keys: escaped, empty, repeated (the last one counts) and unsorted
    R"({"z":1,"a\u0062":2,"":3,"z":{"deep":[1]},"m":null,"z":"last"})",
    // nlohmann::json stops at a NUL byte outside a string
    "{\"a\":1}\0whatever follows"s,
};

const std::vector<std::string> refusedTexts = {
    "",
    " ",
    "\xEF\xBB\xBF",
    "\xEF\xBB{}",
    "[",
    "]",
    "{",
    "[1,]",
    "[,1]",
    "[1 2]",
    "{,}",
    "{\"a\":1,}",
    "{\"a\" 1}",
    "{\"a\":}",
    "{1:2}",
    "{\"a\":1}}",
    "[1]]",
    "[1] x",
    "tru",
    "nul",
    "True",
    "NaN",
    "+1",
    "01",
    "-",
    "-a",
    "1.",
    "1.e5",
    ".5",
    "1e",
    "1e+",
    "0x10",
    "1e999",
    "-1e999",
    "\"open",
    "\"\\x\"",
    "\"\\u12G4\"",
    "\"\\u123\"",
    "\"\\uD800\"",
    "\"\\uD800x\"",
    "\"\\uD800\\u0041\"",
    "\"\\uDC00\"",
    "\"\\",
    "\"a\x01\"",
    "\"a\x1F\"",
    "\"\n\"",
    "\"\xC0\xAF\"",
    "\"\xC1\xBF\"",
    "\"\x80\"",
    "\"\xE0\x9F\xBF\"",
    "\"\xED\xA0\x80\"",
    "\"\xF0\x8F\xBF\xBF\"",
    "\"\xF4\x90\x80\x80\"",
    "\"\xF5\x80\x80\x80\"",
    "\"\xE2\x82\"",
    "\"\xE2\x82",
    "\"\xC3\"",
    "\"\xE2\x28\xA1\"",
    "\"" + std::string(20, 'a') + "\xFF\"",
    "\0"s,
    "[\0]"s,
    "/* comment */ 1",
    "[1] // comment",
};

} // namespace

TEST(JsonTree, ReadsEveryDocumentAsNlohmannJsonDoes) {
    for (const auto& text : acceptedTexts) {
        SCOPED_TRACE(text);
        const auto expected = nlohmannShapeOf(text);
        EXPECT_EQ(shapeOf(JsonTree::parse(text)), expected);
        const auto tried = JsonTree::tryParse(text);
        ASSERT_TRUE(tried.has_value());
        EXPECT_EQ(shapeOf(*tried), expected);
    }
}

TEST(JsonTree, RefusesWhatNlohmannJsonRefusesWithTheSameMessage) {
    for (const auto& text : refusedTexts) {
        SCOPED_TRACE(testing::PrintToString(text));
        const auto expected = nlohmannRefusalOf(text);
        ASSERT_NE(expected, "accepted");
        try {
            (void)JsonTree::parse(text);
            ADD_FAILURE() << "accepted";
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.what(), expected);
            EXPECT_EQ(error.path(), "");
        }
        EXPECT_FALSE(JsonTree::tryParse(text).has_value());
    }
}

TEST(JsonTree, PlainStringsAreReadWhereTheyStand) {
    const std::string text = R"({"plain":"caf)"
                             "\xC3\xA9"
                             R"(","escaped":"a\nb"})";
    const auto tree = JsonTree::parse(text);
    const auto inText = [&](std::string_view part) {
        return part.data() >= text.data() && part.data() + part.size() <= text.data() + text.size();
    };
    const auto plain = tree.find(JsonTree::root, "plain");
    const auto escaped = tree.find(JsonTree::root, "escaped");
    ASSERT_TRUE(plain && escaped);
    EXPECT_EQ(tree.string(*plain), "caf\xC3\xA9");
    EXPECT_TRUE(inText(tree.string(*plain)));
    EXPECT_EQ(tree.string(*escaped), "a\nb");
    EXPECT_FALSE(inText(tree.string(*escaped)));
}

TEST(JsonTree, ARepeatedKeyReadsAsItsLastValue) {
    // The first "a" would not decode as a number: only the last one is ever looked at.
    const std::string text = R"({"b":2,"a":"one","c":{"a":9},"a":3})";
    const auto tree = JsonTree::parse(text);
    const auto a = tree.find(JsonTree::root, "a");
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(tree.node(*a).value.whole, 3u);
    EXPECT_FALSE(tree.find(JsonTree::root, "d").has_value());
    EXPECT_EQ(JsonReader(tree).required<int64_t>("a"), 3);
    const auto asMap = decodeJsonText<std::map<std::string, int64_t>>(R"({"b":2,"a":"one","a":3})");
    EXPECT_EQ(asMap, (std::map<std::string, int64_t>{{"a", 3}, {"b", 2}}));
}

TEST(JsonTree, DeepNestingNeedsNoStack) {
    constexpr std::size_t depth = 300'000;
    const std::string text = std::string(depth, '[') + std::string(depth, ']');
    const auto tree = JsonTree::parse(text);
    EXPECT_EQ(tree.next(JsonTree::root), depth);
    std::string innermost;
    for (std::size_t level = 1; level < depth; ++level)
        innermost += "[0]";
    EXPECT_EQ(tree.pathOf(depth - 1), innermost);
    // the same document read by nlohmann::json (a NUL byte ends it there) is turned into a tree
    // without recursion either
    const auto ended = text + "\0"s;
    const auto viaNlohmann = JsonTree::parse(ended);
    EXPECT_EQ(viaNlohmann.next(JsonTree::root), depth);
}

TEST(JsonReader, AFailureNamesItsPlaceFromTheTop) {
    const auto failureOf = [](auto decode) -> DecodingError {
        try {
            decode();
        } catch (const DecodingError& error) {
            return error;
        }
        return {"", "no failure"};
    };
    using Lists = std::vector<std::map<std::string, std::vector<int64_t>>>;
    EXPECT_EQ(failureOf([] { decodeJsonText<Lists>(R"([{"a":[1,2]},{"b":[3,"x"],"c":[]}])"); }),
              DecodingError("[1].b[1]", "Expected a whole number"));
    // members are decoded in key order, whatever order the text lists them in
    EXPECT_EQ(failureOf([] { decodeJsonText<std::map<std::string, int64_t>>(R"({"b":"x","a":"y"})"); }),
              DecodingError("a", "Expected a whole number"));
    const std::string text = R"({"": {"list": [null, {"name": 1}]}})";
    const auto tree = JsonTree::parse(text);
    const JsonReader top(tree);
    EXPECT_EQ(failureOf([&] { top.member("").member("list").required<std::string>("x"); }),
              DecodingError("list", "Expected an object"));
    EXPECT_EQ(failureOf([&] { top.member("").required<std::vector<std::map<std::string, std::string>>>("list"); }),
              DecodingError("list[0]", "Expected an object"));
    EXPECT_EQ(failureOf([&] { top.required<std::string>("missing"); }), DecodingError("missing", "Missing value"));
}
