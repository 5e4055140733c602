// Whole-file reads of real files, folders, pipes and devices in a temporary folder.
#include "TempDir.h"
#include "Util/AtomicFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace ostrel {
namespace {

TEST(AtomicFile, ReadsOnlyRegularFilesUpToTheCap) {
    test::TempDir dir;
    test::writeFile(dir / "ten", "0123456789");
    EXPECT_EQ(AtomicFile::read(dir / "ten", 10), "0123456789");
    EXPECT_EQ(AtomicFile::read(dir / "ten", 9), std::nullopt);
    test::writeFile(dir / "empty", "");
    EXPECT_EQ(AtomicFile::read(dir / "empty", 0), "");
    EXPECT_EQ(AtomicFile::read(dir / "missing", 10), std::nullopt);
    EXPECT_EQ(AtomicFile::read(dir.path(), 10), std::nullopt);
    // Neither a pipe nor an endless device may hold the reader up or fill its memory.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(AtomicFile::read(dir / "pipe", 10), std::nullopt);
    EXPECT_EQ(AtomicFile::read("/dev/zero", 10), std::nullopt);
}

TEST(AtomicFile, AFileLongerThanItsStatedSizeIsReadOnlyUpToTheCap) {
    // The kernel's own files say they are empty and then deliver their text.
    const auto status = AtomicFile::read("/proc/self/status", 1024 * 1024);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->starts_with("Name:")) << *status;
    EXPECT_EQ(AtomicFile::read("/proc/self/status", 16), std::nullopt);
}

TEST(AtomicFile, WhatItWritesReadsBackWithThePermissionsAsked) {
    test::TempDir dir;
    AtomicFile::write(dir / "note", "first");
    AtomicFile::write(dir / "note", "second", std::filesystem::perms::owner_read);
    EXPECT_EQ(AtomicFile::read(dir / "note", 6), "second");
    struct stat info {};
    ASSERT_EQ(::stat((dir / "note").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0400);
    // Only the file itself is left: no temporary file beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

} // namespace
} // namespace ostrel
