// The main of every test program. Before any test runs it points TMPDIR, HOME
// and the XDG folders at a fresh temporary folder, so no test can touch the
// real home, keyring, caches or Trash. The folder is removed at exit.
#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

namespace {

std::unique_ptr<ostrel::test::TempDir> isolateHome() {
    auto root = std::make_unique<ostrel::test::TempDir>("ostrel-test");
    const auto& base = root->path();
    for (const char* sub : {"home", "tmp", "data", "cache", "config", "state", "run"})
        std::filesystem::create_directories(base / sub);
    std::filesystem::permissions(base / "run", std::filesystem::perms::owner_all);
    ::setenv("HOME", (base / "home").c_str(), 1);
    ::setenv("TMPDIR", (base / "tmp").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (base / "data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (base / "cache").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (base / "config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (base / "state").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (base / "run").c_str(), 1);
    // Refusals are logged; keep them on the test output, out of the journal.
    ::setenv("OSTREL_LOG", "stderr", 1);
    return root;
}

} // namespace

int main(int argc, char** argv) {
    auto home = isolateHome();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
