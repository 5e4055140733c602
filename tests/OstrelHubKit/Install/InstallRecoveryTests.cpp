#include "Install/InstallRecovery.h"
#include "Platform/Trash.h"
#include "TempDir.h"
#include "Util/UniqueFd.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <sys/file.h>

using namespace ostrel;
namespace fs = std::filesystem;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing))
        names.push_back(entry.path().filename().string());
    return names;
}

void trashRecord(const std::string& name, const fs::path& original) {
    test::writeFile(Trash::homeTrash() / "info" / (name + ".trashinfo"),
                    "[Trash Info]\nPath=" + original.string() + "\nDeletionDate=2026-12-05T10:00:00\n");
}

} // namespace

TEST(InstallRecovery, ClearsWhatInterruptedRunsLeftAndNothingElse) {
    test::TempDir dir;
    const BundleInstaller installer{
        .verifier = CodeVerifier(), .home = dir / "home", .applications = dir / "home/Applications"};
    InstallLedger ledger(dir / "data");
    const fs::path vst3 = dir / "home/Library/Audio/Plug-Ins/VST3";
    const std::string uuid = "0F8C9E52-5D3A-4B61-9A7E-3C2B1D0E9F84";

    test::makeBundleFolder(vst3 / (".Echo.vst3.ostrel-" + uuid));
    test::makeBundleFolder(vst3 / (".Echo.vst3.ostrel-" + uuid + "-previous"));
    test::writeFile(vst3 / ".DS_Store", "the user's");
    test::writeFile(dir / "data/.installed.json.AbC123", "{");
    test::writeFile(dir / "data/journal/.echo.json.XyZ123", "{");
    test::writeFile(dir / "data/journal/verb.json", "{\"format\": 1, \"oper");
    test::writeFile(dir / "work/ended/Echo.pkg", "partial");
    test::writeFile(dir / "work/paused" / InstallRecovery::resumeDataName, "{}");
    test::writeFile(dir / "work/busy/Echo.pkg", "being read");
    UniqueFd busy(::open((dir / "work/busy" / InstallRecovery::inUseName).c_str(), O_RDWR | O_CREAT, 0600));
    ASSERT_EQ(::flock(busy.get(), LOCK_EX), 0);
    trashRecord("Echo.vst3", vst3 / "Echo.vst3");
    trashRecord("notes.txt", dir / "elsewhere/notes.txt");
    test::writeFile(Trash::homeTrash() / "files/Kept.clap", "x");
    trashRecord("Kept.clap", vst3 / "Kept.clap");

    const auto actions = InstallRecovery(installer, ledger, dir / "work").run();
    EXPECT_EQ(actions.size(), 7u) << ::testing::PrintToString(actions);
    EXPECT_THAT(namesIn(vst3), UnorderedElementsAre(".DS_Store"));
    EXPECT_THAT(namesIn(dir / "data"), UnorderedElementsAre("journal"));
    EXPECT_THAT(namesIn(dir / "data/journal"), UnorderedElementsAre("verb.json.damaged"));
    EXPECT_THAT(namesIn(dir / "work"), UnorderedElementsAre("paused", "busy"));
    EXPECT_THAT(namesIn(Trash::homeTrash() / "info"),
                UnorderedElementsAre("notes.txt.trashinfo", "Kept.clap.trashinfo"));

    EXPECT_THAT(InstallRecovery(installer, ledger, dir / "work").run(), IsEmpty()) << "a second run has nothing to do";
}
