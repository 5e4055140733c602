#include "HomeIsolation.h"

#include <cstdlib>
#include <filesystem>

namespace ostrel::test {

std::unique_ptr<TempDir> isolateHome() {
    auto root = std::make_unique<TempDir>("ostrel-test");
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

} // namespace ostrel::test
