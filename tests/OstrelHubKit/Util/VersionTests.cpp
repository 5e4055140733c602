#include "Util/Version.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using ostrel::Version;

namespace {
std::vector<int64_t> numbers(const std::string& text) {
    return Version(text).numbers();
}
} // namespace

TEST(Version, ParsingTrimsBlanksAndVsButKeepsTheRawText) {
    const Version v(" v1.2.3\t");
    EXPECT_EQ(v.raw(), " v1.2.3\t");
    EXPECT_EQ(v.numbers(), (std::vector<int64_t>{1, 2, 3}));
    EXPECT_FALSE(v.prerelease());
    EXPECT_EQ(numbers("V1.2"), (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(numbers("1.2v"), (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(numbers("vv1.2"), (std::vector<int64_t>{1, 2}));
    // Line breaks are not blanks: the newline stays and ends the last number's digits.
    EXPECT_EQ(numbers("1.2\n"), (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(Version("\n1.2").numbers(), (std::vector<int64_t>{0, 2}));
    // A non-breaking space is a blank too.
    EXPECT_EQ(numbers("\u00a01.5"), (std::vector<int64_t>{1, 5}));
}

TEST(Version, PrereleaseIsTheTextAfterTheFirstNonEmptyDash) {
    EXPECT_EQ(Version("1.2.3-beta.1").prerelease(), "beta.1");
    EXPECT_EQ(Version("1.0-rc-1").prerelease(), "rc-1");
    const Version leading("-beta");
    EXPECT_EQ(leading.numbers(), (std::vector<int64_t>{0}));
    EXPECT_FALSE(leading.prerelease());
    const Version trailing("1.0-");
    EXPECT_EQ(trailing.numbers(), (std::vector<int64_t>{1, 0}));
    EXPECT_FALSE(trailing.prerelease());
    EXPECT_EQ(Version("--2-x").numbers(), (std::vector<int64_t>{2}));
    EXPECT_EQ(Version("--2-x").prerelease(), "x");
    EXPECT_EQ(Version("1--x").prerelease(), "-x");
}

TEST(Version, EachComponentYieldsItsLeadingNumberOrZero) {
    EXPECT_TRUE(numbers("").empty());
    EXPECT_EQ(numbers("abc"), (std::vector<int64_t>{0}));
    EXPECT_EQ(numbers("1..2"), (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(numbers("3+45.2b.beta"), (std::vector<int64_t>{3, 2, 0}));
    EXPECT_EQ(numbers("9223372036854775807"), (std::vector<int64_t>{INT64_MAX}));
    EXPECT_EQ(numbers("9223372036854775808.1"), (std::vector<int64_t>{0, 1}));
    // Arabic-Indic three is numeric but not an ASCII digit: the whole run counts as 0.
    EXPECT_EQ(numbers("1\u0663.4"), (std::vector<int64_t>{0, 4}));
    EXPECT_EQ(numbers("7\u00b2"), (std::vector<int64_t>{0}));
}

TEST(Version, OrderComparesNumbersThenPrereleases) {
    EXPECT_LT(Version("1.2.3-beta.1"), Version("1.2.3"));
    EXPECT_GT(Version("1.2.3-beta.1"), Version("1.2.2"));
    EXPECT_LT(Version("2.0-beta.2"), Version("2.0-beta.10"));
    EXPECT_LT(Version("1.9"), Version("1.10"));
    EXPECT_LT(Version("1.2"), Version("1.10"));
    // A missing position counts as 0 on either side, so the longer list decides.
    EXPECT_LT(Version("1.2"), Version("1.2.1"));
    EXPECT_GT(Version("1.2.1"), Version("1.2"));
    EXPECT_LT(Version("1.2"), Version("1.2.0.1"));
    EXPECT_GT(Version("2"), Version("1.99.99"));
    EXPECT_LT(Version("1.9.9"), Version("1.10"));
    EXPECT_FALSE(Version("1.2.1") < Version("1.2"));
    EXPECT_EQ(Version("1.2"), Version("1.2.0"));
    EXPECT_EQ(Version("1.0"), Version("1.0.0"));
    EXPECT_EQ(Version("v2"), Version("2"));
    EXPECT_EQ(Version(""), Version("0"));
    EXPECT_EQ(Version("abc"), Version("0"));
    EXPECT_EQ(Version("1.2.3+45"), Version("1.2.3"));
    EXPECT_LT(Version("1.0-Beta"), Version("1.0-beta")); // case-sensitive
    EXPECT_LE(Version("1.0"), Version("1.0.0"));
    EXPECT_GE(Version("1.0"), Version("1.0.0"));
    EXPECT_FALSE(Version("1.0") < Version("1.0-rc"));
}

TEST(Version, OrderIsTotalAndTransitiveOverGeneratedVersions) {
    std::mt19937 random(20261205);
    const std::vector<std::string> pieces{"0", "1", "2", "10", "01", ".", ".", "-", "v", "a", "b", "rc", "beta", " "};
    std::vector<Version> versions;
    for (int i = 0; i < 300; ++i) {
        std::string text;
        const int length = static_cast<int>(random() % 7);
        for (int j = 0; j < length; ++j)
            text += pieces[random() % pieces.size()];
        versions.emplace_back(text);
    }
    for (const auto& a : versions) {
        for (const auto& b : versions) {
            const int holds = (a < b) + (a == b) + (b < a);
            ASSERT_EQ(holds, 1) << "'" << a.raw() << "' vs '" << b.raw() << "'";
        }
    }
    for (size_t i = 0; i < 20000; ++i) {
        const auto& a = versions[random() % versions.size()];
        const auto& b = versions[random() % versions.size()];
        const auto& c = versions[random() % versions.size()];
        if (a < b && b < c) {
            ASSERT_LT(a, c) << a.raw() << " < " << b.raw() << " < " << c.raw();
        }
        if (a == b && b == c) {
            ASSERT_EQ(a, c) << a.raw() << " == " << b.raw() << " == " << c.raw();
        }
    }
}
