// Recovery runs at every start of the hub and before every install, so on a
// data folder with nothing to recover it must cost next to nothing: the
// target is 5 ms. The folders here are as full as a well-used machine's:
// plug-in folders with a few hundred bundles, a Trash with a thousand items,
// a ledger of forty products.
#include "Install/InstallRecovery.h"
#include "Platform/Trash.h"
#include "Util/XdgFolders.h"

#include <chrono>
#include <cstdlib>
#include <fstream>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

using namespace ostrel;
namespace fs = std::filesystem;

void touch(const fs::path& file, const std::string& text = "x") {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

struct WellUsedMachine {
    fs::path root = fs::temp_directory_path() / ("recovery-bench-" + std::to_string(::getpid()));
    InstallLedger ledger{XdgFolders::makePrivate(root / "data")};
    BundleInstaller installer{
        .verifier = CodeVerifier(), .home = root / "home", .applications = root / "home/Applications"};

    WellUsedMachine() {
        ::setenv("XDG_DATA_HOME", (root / "xdg").c_str(), 1);
        for (const char* folder : {"VST3", "Components", "CLAP", "VST"})
            for (int i = 0; i < 100; ++i)
                touch(root / "home/Library/Audio/Plug-Ins" / folder / ("Plug" + std::to_string(i) + ".bundle/Info"));
        for (int i = 0; i < 1000; ++i) {
            const std::string name = "item" + std::to_string(i);
            touch(Trash::homeTrash() / "files" / name);
            touch(Trash::homeTrash() / "info" / (name + ".trashinfo"), "[Trash Info]\nPath=/home/x/" + name + "\n");
        }
        for (int i = 0; i < 40; ++i)
            ledger.save({"product" + std::to_string(i), "Product", "1.0", "key", {}, {}, {}});
        fs::create_directories(root / "work");
    }
    ~WellUsedMachine() { fs::remove_all(root); }
};

void recoveryWithNothingToDo(benchmark::State& state) {
    WellUsedMachine machine;
    for (auto _ : state) {
        auto actions = InstallRecovery(machine.installer, machine.ledger, machine.root / "work").run();
        benchmark::DoNotOptimize(actions);
        if (!actions.empty())
            state.SkipWithError("recovery found something to do on a clean folder");
    }
}
BENCHMARK(recoveryWithNothingToDo)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
