#pragma once

#include "Install/BundleInstaller.h"
#include "Install/Downloader.h"
#include "Install/Extractor.h"
#include "Install/InstallJournal.h"
#include "Install/InstallLedger.h"
#include "Install/InstallRequest.h"
#include "Install/InstallStage.h"
#include "Services/MoonbaseClient.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace ostrel {

// A release that passed every check short of placement: what was unpacked,
// and each bundle with the signature facts it was verified with.
struct CheckedRelease {
    Extraction extraction;
    std::vector<std::pair<StagedBundle, VerifiedCode>> verified;
};

// Where store releases come from: the signed-in store client, which turns a
// download into its address, and the process's one downloader.
struct ReleaseSource {
    MoonbaseClient* client = nullptr;
    std::shared_ptr<Downloader> downloader{};
};

// The one road from a release file to installed, recorded bundles. Every
// install, update and release check goes through it, so no front end strings
// the steps together itself. The caller holds the install lock around run and
// uninstall; the pipeline never takes it.
class InstallPipeline {
public:
    InstallPipeline(Extractor extractor, BundleInstaller installer, std::shared_ptr<InstallLedger> ledger,
                    std::filesystem::path workRoot, ReleaseSource source = {});

    // The store release of the request: its address from the store, the download (continuing
    // from resume data when given), every check, placement and the ledger entry. A stopped
    // download throws DownloadInterrupted; with resume data its work folder stays, holding
    // that data too, for the next attempt.
    InstallRecord run(const InstallRequest& request, const std::optional<std::string>& resumeData,
                      const StageCallback& stage, std::stop_token stop = {});

    // The release check of a store release: every refusal of run, nothing placed or recorded,
    // always downloaded afresh, the work folder always removed; ends with `installed`.
    CheckedRelease verify(const InstallRequest& request, const StageCallback& stage, std::stop_token stop = {});

    // Installs a release file that is already on disk (a release engineer's
    // copy, or a finished download): every check, placement, leftovers of the
    // previous release to the Trash, the ledger entry. Returns the new record.
    InstallRecord installFile(const InstallRequest& request, const std::filesystem::path& file,
                              const StageCallback& stage, std::stop_token stop = {});

    // Every refusal an install would give, and nothing placed or recorded;
    // ends with the stage `installed`. The returned bundles are for display.
    CheckedRelease verifyFile(const InstallRequest& request, const std::filesystem::path& file,
                              const StageCallback& stage, std::stop_token stop = {});

    // Moves the product's items to the Trash and drops its record; returns
    // the names of the items left in place because they changed since install.
    std::vector<std::string> uninstall(const std::string& productId);

    // Whether a paused download of this request waits in its work folder to be resumed.
    bool holdsResumeData(const InstallRequest& request) const;

    // Puts right what an interrupted install or uninstall left (see InstallRecovery); the
    // caller holds the install lock. Returns what it did, one sentence each.
    std::vector<std::string> recover();

    // Refuses a file whose size differs from a published size above zero.
    static void checkSize(const std::filesystem::path& file, int64_t expected);

    const InstallLedger& ledger() const { return *ledger_; }
    const BundleInstaller& installer() const { return installer_; }

    // Called before each change on disk; crash tests stop the process there.
    void setCheckpoint(Checkpoint checkpoint);

private:
    // From the download address to the checked release.
    CheckedRelease fetchAndVerify(const InstallRequest& request, const std::filesystem::path& work,
                                  const std::optional<std::string>& resumeData, const StageCallback& stage,
                                  std::stop_token stop);
    // Size, kind, unpacking, every bundle's signature, the version floors.
    CheckedRelease checkRelease(const std::filesystem::path& file, int64_t expectedSize,
                                const std::filesystem::path& work, std::stop_token stop) const;
    void refuseBelowFloors(const std::vector<std::pair<StagedBundle, VerifiedCode>>& verified) const;
    // Places the checked bundles, clears the previous release's leftovers and writes the ledger entry.
    InstallRecord placeAndRecord(const InstallRequest& request, const CheckedRelease& checked,
                                 const StageCallback& stage);
    // The previous record's items that the new ones no longer include.
    std::vector<InstalledItem> leftoversOf(const std::string& productId, const std::vector<InstalledItem>& items) const;
    std::filesystem::path workFolder(const InstallRequest& request) const;

    // Runs the body in the request's work folder and removes the folder afterwards.
    template <typename Body>
    auto withWorkDirectory(const InstallRequest& request, Body&& body) -> decltype(body(std::filesystem::path{}));

    Extractor extractor_;
    BundleInstaller installer_;
    std::shared_ptr<InstallLedger> ledger_;
    std::filesystem::path workRoot_;
    JournalFolder journals_;
    ReleaseSource store_;
    Checkpoint checkpoint_{};
};

} // namespace ostrel
