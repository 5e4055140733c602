#pragma once

#include "Install/BundleInstaller.h"
#include "Install/InstallJournal.h"
#include "Install/InstallLedger.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ostrel {

// Puts the disk, the ledger and the floors back into agreement after an
// install or uninstall that was cut short (a crash, a kill, a power cut), and
// clears what such a run leaves behind. Runs under the install lock before
// anything else that changes the disk; on a clean data folder it only looks.
class InstallRecovery {
public:
    InstallRecovery(const BundleInstaller& installer, InstallLedger& ledger, std::filesystem::path workRoot);

    // What it did, one sentence each; empty when there was nothing to do.
    std::vector<std::string> run();

    // A work folder holding this file keeps a paused download for its next attempt.
    static constexpr const char* resumeDataName = "resume-data.json";
    // Held (flock) by the install that uses a work folder, so recovery leaves it alone.
    static constexpr const char* inUseName = ".in-use";

private:
    void settle(const std::filesystem::path& file, const InstallJournal& journal);
    void finishInstall(InstallJournal journal);
    void clearWorkFolders();
    void clearHiddenCopies();
    void clearTemporaryFiles();
    void clearTrashRecords();
    std::vector<std::filesystem::path> destinationFolders() const;
    void note(std::string action);

    const BundleInstaller& installer_;
    InstallLedger& ledger_;
    JournalFolder journals_;
    std::filesystem::path workRoot_;
    std::vector<std::string> actions_;
};

} // namespace ostrel
