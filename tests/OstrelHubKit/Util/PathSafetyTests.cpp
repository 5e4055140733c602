#include "TempDir.h"
#include "Util/PathSafety.h"

#include <fstream>
#include <string>

#include <gtest/gtest.h>

using namespace ostrel;
namespace fs = std::filesystem;

namespace {

std::string refusal(const fs::path& root) {
    try {
        PathSafety::assertNoEscapingLinks(root);
    } catch (const PathSafety::EscapingLink& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(PathSafety, ContainmentResolvesLinksAndRejectsPrefixSiblings) {
    test::TempDir dir;
    fs::create_directories(dir / "b/inner");
    fs::create_directories(dir / "bc");
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "b/jump");

    EXPECT_TRUE(PathSafety::isContained(dir / "b", dir / "b"));
    EXPECT_TRUE(PathSafety::isContained(dir / "b/", dir / "b"));
    EXPECT_TRUE(PathSafety::isContained(dir / "b/inner/../inner/x", dir / "b"));
    EXPECT_FALSE(PathSafety::isContained(dir / "bc", dir / "b"));
    EXPECT_FALSE(PathSafety::isContained(dir / "b/../bc/x", dir / "b"));
    EXPECT_FALSE(PathSafety::isContained(dir / "b/jump/file", dir / "b"));
    // A root reached through a link contains what lies in the real folder.
    fs::create_directory_symlink(dir / "b", dir / "alias");
    EXPECT_TRUE(PathSafety::isContained(dir / "b/inner", dir / "alias"));
}

TEST(PathSafety, LinksLeavingTheTreeAreRefusedByName) {
    test::TempDir dir;
    const auto root = dir / "root";
    fs::create_directories(root / "Plug.vst3/Contents/Frameworks/A");
    fs::create_symlink("../../etc", root / "Plug.vst3/lib");
    EXPECT_EQ(refusal(root), "lib links outside the archive");
}

TEST(PathSafety, LinksStayingInsideAreAccepted) {
    test::TempDir dir;
    const auto root = dir / "root";
    const auto framework = root / "Plug.vst3/Contents/Frameworks/Lib.framework";
    fs::create_directories(framework / "Versions/A");
    fs::create_symlink("A", framework / "Versions/Current");
    fs::create_symlink("Versions/Current/Lib", framework / "Lib");
    fs::create_symlink(root / "Plug.vst3/Contents", root / "absolute-inside");
    fs::create_symlink("missing-but-inside", root / "dangling");
    EXPECT_NO_THROW(PathSafety::assertNoEscapingLinks(root));
    EXPECT_NO_THROW(PathSafety::assertNoEscapingLinks(dir / "no-such-folder"));
}

TEST(PathSafety, AbsoluteAndChainedEscapesAreRefused) {
    test::TempDir dir;
    const auto root = dir / "root";
    fs::create_directories(root / "sub");
    fs::create_symlink("/usr/lib/os-release", root / "abs");
    EXPECT_EQ(refusal(root), "abs links outside the archive");
    fs::remove(root / "abs");

    // Each link alone looks harmless; followed together they leave the tree.
    fs::create_symlink("..", root / "sub/up");
    fs::create_symlink("sub/up/..", root / "chain");
    EXPECT_EQ(refusal(root), "chain links outside the archive");
}

TEST(PathSafety, TreeSizeCountsFilesButNotLinks) {
    test::TempDir dir;
    const auto root = dir / "root";
    test::writeFile(root / "ten", "0123456789");
    test::writeFile(root / "sub/three", "abc");
    const auto big = dir / "big";
    {
        std::ofstream out(big, std::ios::binary);
        out.seekp(1'000'000'000 - 1);
        out.put('\0');
    }
    fs::create_symlink(big, root / "link-to-big");
    fs::create_directory_symlink(dir.path(), root / "link-to-parent");
    EXPECT_EQ(PathSafety::treeSize(root), 13);
    EXPECT_EQ(PathSafety::treeSize(dir / "missing"), 0);
}

TEST(PathSafety, AcceptableFileNames) {
    for (const char* good : {"Plug.vst3", "Readme", "a..b", "Tool.APP"})
        EXPECT_TRUE(PathSafety::isAcceptableFileName(good)) << good;
    for (const char* bad : {"", ".hidden.vst3", "a/b.vst3", "..", "."})
        EXPECT_FALSE(PathSafety::isAcceptableFileName(bad)) << bad;
    EXPECT_FALSE(PathSafety::isAcceptableFileName(std::string("a\0b.vst3", 8)));
    EXPECT_TRUE(PathSafety::isAcceptableFileName(std::string(255, 'x')));
    EXPECT_FALSE(PathSafety::isAcceptableFileName(std::string(256, 'x')));
    // Length counts characters as people see them, not bytes.
    std::string accents;
    for (int i = 0; i < 250; ++i)
        accents += "e\u0301";
    EXPECT_TRUE(PathSafety::isAcceptableFileName(accents + ".vst3"));
}

TEST(PathSafety, SanitizedFileNames) {
    EXPECT_EQ(PathSafety::sanitizedFileName("  ..My:Plug/In", "fallback"), "My_Plug_In");
    EXPECT_EQ(PathSafety::sanitizedFileName("...", "fallback"), "fallback");
    EXPECT_EQ(PathSafety::sanitizedFileName("   ", "fallback"), "fallback");
    EXPECT_EQ(PathSafety::sanitizedFileName("", "fallback"), "fallback");
    EXPECT_EQ(PathSafety::sanitizedFileName("Plug\n", "fallback"), "Plug_");
    EXPECT_EQ(PathSafety::sanitizedFileName("\tPlug", "fallback"), "_Plug");
    EXPECT_EQ(PathSafety::sanitizedFileName("a\\b", "fallback"), "a_b");
    // A right-to-left override could disguise a name; it is a control character too.
    EXPECT_EQ(PathSafety::sanitizedFileName("evil\u202Etxt", "fallback"), "evil_txt");
    EXPECT_EQ(PathSafety::sanitizedFileName("\u3000Wide\u3000", "fallback"), "Wide");
    EXPECT_EQ(PathSafety::sanitizedFileName(std::string(300, 'n'), "fallback"), std::string(200, 'n'));
    std::string flags;
    for (int i = 0; i < 201; ++i)
        flags += "\U0001F1EB\U0001F1F7"; // one flag: two scalars, one character
    EXPECT_EQ(PathSafety::sanitizedFileName(flags, "f"), flags.substr(0, 200 * 8));
}
