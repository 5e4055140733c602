#include "Install/InstallRecovery.h"

#include "Platform/Trash.h"
#include "Util/AtomicFile.h"
#include "Util/Log.h"
#include "Util/UniqueFd.h"

#include <algorithm>
#include <regex>

#include <fcntl.h>
#include <sys/file.h>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

// ".Echo.vst3.ostrel-<uuid>" and its "-previous" twin: the names placement hides copies under.
bool isHiddenCopyName(const std::string& name) {
    static const std::regex pattern(R"(^\..+\.ostrel-[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}(-previous)?$)");
    return std::regex_match(name, pattern);
}

bool inUse(const fs::path& workFolder) {
    UniqueFd fd(::open((workFolder / InstallRecovery::inUseName).c_str(), O_RDONLY | O_CLOEXEC));
    return fd && ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0;
}

} // namespace

InstallRecovery::InstallRecovery(const BundleInstaller& installer, InstallLedger& ledger, fs::path workRoot)
    : installer_(installer), ledger_(ledger), journals_(ledger.file().parent_path()), workRoot_(std::move(workRoot)) {}

void InstallRecovery::note(std::string action) {
    Log::info(Log::Category::install, action);
    actions_.push_back(std::move(action));
}

std::vector<std::string> InstallRecovery::run() {
    actions_.clear();
    for (const auto& [file, journal] : journals_.all()) {
        if (journal) {
            settle(file, *journal);
            continue;
        }
        const fs::path aside = InstallLedger::damagedCopy(file);
        fs::rename(file, aside);
        note("Set aside an unreadable install journal as " + aside.string() + ".");
    }
    clearWorkFolders();
    clearHiddenCopies();
    clearTemporaryFiles();
    clearTrashRecords();
    return actions_;
}

void InstallRecovery::settle(const fs::path& file, const InstallJournal& journal) {
    if (journal.operation == InstallJournal::Operation::uninstall) {
        installer_.uninstall(journal.removals);
        ledger_.remove(journal.productId);
        AtomicFile::remove(file);
        note("Finished uninstalling " + journal.productId + ".");
        return;
    }
    const bool allInPlace = std::all_of(journal.steps.begin(), journal.steps.end(), BundleInstaller::isInPlace);
    if (allInPlace && journal.record) {
        finishInstall(journal);
        AtomicFile::remove(file);
        note("Finished installing " + journal.productId + " " + journal.record->version + ".");
        return;
    }
    installer_.rollBack(journal.steps);
    AtomicFile::remove(file);
    note("Rolled back an interrupted install of " + journal.productId + ".");
}

void InstallRecovery::finishInstall(InstallJournal journal) {
    for (auto& step : journal.steps)
        installer_.finish(step);
    installer_.uninstall(journal.leftovers);
    ledger_.save(*journal.record);
}

void InstallRecovery::clearWorkFolders() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(workRoot_, error)) {
        const fs::path folder = entry.path();
        if (!entry.is_directory(error) || fs::exists(folder / resumeDataName, error) || inUse(folder))
            continue;
        fs::remove_all(folder, error);
        note("Removed the work folder " + folder.filename().string() + " of an install that ended.");
    }
}

std::vector<fs::path> InstallRecovery::destinationFolders() const {
    std::vector<fs::path> folders;
    for (const BundleKind kind : allBundleKinds) {
        const fs::path folder = destinationDirectory(kind, installer_.home, installer_.applications);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    return folders;
}

void InstallRecovery::clearHiddenCopies() {
    for (const auto& folder : destinationFolders()) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            if (!isHiddenCopyName(entry.path().filename().string()))
                continue;
            fs::remove_all(entry.path(), error);
            note("Removed the unfinished copy " + entry.path().string() + ".");
        }
    }
}

void InstallRecovery::clearTemporaryFiles() {
    const std::vector<fs::path> files{ledger_.file(), ledger_.floorsFile()};
    for (const auto& folder : {ledger_.file().parent_path(), journals_.folder()}) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            const fs::path path = entry.path();
            const bool ledgerTemporary = std::any_of(
                files.begin(), files.end(), [&](const fs::path& f) { return AtomicFile::isTemporaryOf(path, f); });
            const bool journalTemporary = folder == journals_.folder() && path.filename().string().starts_with(".");
            if (!ledgerTemporary && !journalTemporary)
                continue;
            fs::remove(path, error);
            note("Removed the unfinished file " + path.string() + ".");
        }
    }
}

void InstallRecovery::clearTrashRecords() {
    const auto folders = destinationFolders();
    const auto ours = [&](const fs::path& original) {
        return std::find(folders.begin(), folders.end(), original.parent_path()) != folders.end();
    };
    for (const auto& record : Trash::removeOrphanedRecords(ours))
        note("Removed the Trash record " + record.filename().string() + " of a move that never happened.");
}

} // namespace ostrel
