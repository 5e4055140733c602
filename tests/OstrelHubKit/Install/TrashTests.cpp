#include "Platform/Trash.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace ostrel;
namespace fs = std::filesystem;

namespace {
ino_t inodeOf(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_ino;
}
} // namespace

TEST(Trash, MovesItemsByRenameAndRecordsWhereTheyCameFrom) {
    test::TempDir dir;
    const auto item = dir / "Plug-Ins/My Echo.vst3";
    test::writeFile(item / "Contents/Info.plist", "plist");
    const ino_t before = inodeOf(item);

    const fs::path trashed = Trash::moveToTrash(item);
    EXPECT_FALSE(fs::exists(item));
    EXPECT_EQ(trashed, Trash::homeTrash() / "files/My Echo.vst3");
    EXPECT_EQ(Trash::homeTrash(), fs::path(std::getenv("XDG_DATA_HOME")) / "Trash");
    EXPECT_EQ(inodeOf(trashed), before) << "renamed, not copied";
    const std::string info = test::readFile(Trash::homeTrash() / "info/My Echo.vst3.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u) << info;
    EXPECT_NE(info.find("Path=" + (dir / "Plug-Ins").string() + "/My%20Echo.vst3\n"), std::string::npos) << info;
    EXPECT_NE(info.find("\nDeletionDate=20"), std::string::npos) << info;
}

TEST(Trash, CollidingNamesGetNumbers) {
    test::TempDir dir;
    std::vector<fs::path> trashed;
    for (int i = 0; i < 3; ++i) {
        test::writeFile(dir / "Echo.vst3/file", std::to_string(i));
        trashed.push_back(Trash::moveToTrash(dir / "Echo.vst3"));
    }
    EXPECT_EQ(trashed[0].filename(), "Echo.vst3");
    EXPECT_EQ(trashed[1].filename(), "Echo.2.vst3");
    EXPECT_EQ(trashed[2].filename(), "Echo.3.vst3");
    EXPECT_EQ(test::readFile(trashed[2] / "file"), "2");
    EXPECT_TRUE(fs::exists(Trash::homeTrash() / "info/Echo.3.vst3.trashinfo"));
}

TEST(Trash, PutBackRestoresTheItemAndForgetsItsRecord) {
    test::TempDir dir;
    test::writeFile(dir / "Tool.app/Contents/Info.plist", "plist");
    const auto trashed = Trash::moveToTrash(dir / "Tool.app");
    Trash::putBack(trashed, dir / "Tool.app");
    EXPECT_EQ(test::readFile(dir / "Tool.app/Contents/Info.plist"), "plist");
    EXPECT_FALSE(fs::exists(trashed));
    EXPECT_FALSE(fs::exists(Trash::homeTrash() / "info/Tool.app.trashinfo"));

    const auto again = Trash::moveToTrash(dir / "Tool.app");
    test::writeFile(dir / "Tool.app/other", "new");
    EXPECT_THROW(Trash::putBack(again, dir / "Tool.app"), fs::filesystem_error) << "never replaces what is there";
    EXPECT_TRUE(fs::exists(again));
}

TEST(Trash, DanglingLinksAndMissingItems) {
    test::TempDir dir;
    fs::create_symlink(dir / "nowhere", dir / "Dangling.vst3");
    const auto trashed = Trash::moveToTrash(dir / "Dangling.vst3");
    EXPECT_TRUE(fs::is_symlink(trashed));
    EXPECT_THROW(Trash::moveToTrash(dir / "missing.vst3"), fs::filesystem_error);
    EXPECT_FALSE(fs::exists(Trash::homeTrash() / "info/missing.vst3.trashinfo")) << "no record left for a failure";
}
