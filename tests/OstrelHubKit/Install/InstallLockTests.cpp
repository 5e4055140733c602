#include "Install/AppDirectories.h"
#include "Install/InstallLock.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ostrel;
namespace fs = std::filesystem;

namespace {

fs::perms permissionsOf(const fs::path& path) {
    return fs::status(path).permissions() & fs::perms::mask;
}

// Asks a forked process whether it can take the lock in `folder`; 1 = yes, 0 = no.
int tryLockInChild(const fs::path& folder) {
    const pid_t child = ::fork();
    if (child == 0) {
        InstallLock lock(folder);
        ::_exit(lock.tryLock() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A process that takes the lock, reports through a pipe and then waits to be killed.
pid_t holdLockInChild(const fs::path& folder) {
    int ready[2];
    EXPECT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        InstallLock lock(folder);
        const char answer = lock.tryLock() ? 'y' : 'n';
        [[maybe_unused]] auto written = ::write(ready[1], &answer, 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char answer = 0;
    EXPECT_EQ(::read(ready[0], &answer, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(answer, 'y');
    return child;
}

} // namespace

TEST(InstallLock, IsReentrantPerObjectAndExclusiveBetweenObjects) {
    test::TempDir dir;
    InstallLock first(dir.path());
    InstallLock second(dir.path());
    EXPECT_FALSE(fs::exists(first.path())) << "creating a lock touches nothing on disk";
    EXPECT_TRUE(first.tryLock());
    EXPECT_TRUE(first.tryLock());
    EXPECT_FALSE(second.tryLock());
    EXPECT_EQ(permissionsOf(first.path()), fs::perms::owner_read | fs::perms::owner_write);
    first.unlock(); // one unlock releases, however often it was taken
    EXPECT_TRUE(second.tryLock());
    second.unlock();
    second.unlock(); // harmless when not held
    EXPECT_TRUE(fs::exists(first.path())) << "the lock file is never deleted";
}

TEST(InstallLock, ExcludesOtherProcessesUntilReleased) {
    test::TempDir dir;
    {
        InstallLock lock(dir.path());
        ASSERT_TRUE(lock.tryLock());
        EXPECT_EQ(tryLockInChild(dir.path()), 0);
    }
    // Released when the object goes away.
    EXPECT_EQ(tryLockInChild(dir.path()), 1);
}

TEST(InstallLock, IsFreeAgainAfterTheHolderIsKilled) {
    test::TempDir dir;
    const pid_t holder = holdLockInChild(dir.path());
    InstallLock lock(dir.path());
    EXPECT_FALSE(lock.tryLock());
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_TRUE(lock.tryLock());
}

TEST(InstallLock, DescriptorIsNotInheritedByStartedPrograms) {
    test::TempDir dir;
    InstallLock lock(dir.path());
    ASSERT_TRUE(lock.tryLock());
    // The lock's descriptor is close-on-exec, so no tool started later holds the lock.
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", "exec 2>/dev/null; ls -l /proc/self/fd | grep -q install.lock && exit 1; exit 0",
                static_cast<char*>(nullptr));
        ::_exit(2);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(InstallLock, UnopenableLockFileAnswersFalse) {
    test::TempDir dir;
    InstallLock lock(dir / "missing-folder");
    EXPECT_FALSE(lock.tryLock());
    EXPECT_FALSE(lock.isLocked());
}

TEST(AppDirectories, FoldersFollowTheDesktopConventionsAndArePrivate) {
    const fs::path data = std::getenv("XDG_DATA_HOME");
    const fs::path cache = std::getenv("XDG_CACHE_HOME");
    EXPECT_EQ(AppDirectories::support(), data / "Ostrel Hub");
    EXPECT_EQ(AppDirectories::work(), cache / "com.ostrel.hub/work");
    EXPECT_EQ(AppDirectories::cache("images").parent_path(), AppDirectories::cache("snapshots").parent_path());
    EXPECT_EQ(AppDirectories::cache("images").parent_path(), AppDirectories::work().parent_path());
    for (const auto& folder : {AppDirectories::support(), AppDirectories::work(), cache / "com.ostrel.hub"})
        EXPECT_EQ(permissionsOf(folder), fs::perms::owner_all) << folder;
    EXPECT_EQ(InstallLock::standard().path(), (data / "Ostrel Hub/install.lock").string());
}

TEST(AppDirectories, OwnedTightensExistingFoldersAndCreatesParentsPrivately) {
    test::TempDir dir;
    fs::create_directory(dir / "loose");
    fs::permissions(dir / "loose", fs::perms(0755));
    AppDirectories::owned(dir / "loose");
    EXPECT_EQ(permissionsOf(dir / "loose"), fs::perms::owner_all);

    AppDirectories::owned(dir / "a/b/c");
    EXPECT_EQ(permissionsOf(dir / "a"), fs::perms::owner_all);
    EXPECT_EQ(permissionsOf(dir / "a/b/c"), fs::perms::owner_all);

    test::writeFile(dir / "file", "x");
    EXPECT_THROW(AppDirectories::owned(dir / "file"), fs::filesystem_error);
    EXPECT_THROW(AppDirectories::owned(dir / "file/sub"), fs::filesystem_error);
}

TEST(AppDirectories, UsesTheHomeFolderWhenNoXdgFolderIsSet) {
    const std::string saved = std::getenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DATA_HOME");
    const fs::path expected = fs::path(std::getenv("HOME")) / ".local/share/Ostrel Hub";
    EXPECT_EQ(AppDirectories::support(), expected);
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
}
