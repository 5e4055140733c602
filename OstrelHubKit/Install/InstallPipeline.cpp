#include "Install/InstallPipeline.h"

#include "Install/ArtifactKind.h"
#include "Install/DownloadError.h"
#include "Install/InstallError.h"
#include "Install/InstallRecovery.h"
#include "Install/ResumeData.h"
#include "Util/AtomicFile.h"
#include "Util/Log.h"
#include "Util/PathSafety.h"
#include "Util/UniqueFd.h"
#include "Util/Version.h"
#include "Util/XdgFolders.h"

#include <chrono>
#include <future>
#include <set>

#include <fcntl.h>
#include <sys/file.h>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

// Unpacking, signature checks and file moves run off the caller's thread, so
// a caller that must stay responsive only waits.
template <typename Work>
auto offThread(Work&& work) {
    return std::async(std::launch::async, std::forward<Work>(work)).get();
}

void report(const StageCallback& stage, InstallStage::Kind kind) {
    if (stage)
        stage(InstallStage{kind});
}

void throwIfStopped(const std::stop_token& stop) {
    if (stop.stop_requested())
        throw Cancelled();
}

} // namespace

InstallPipeline::InstallPipeline(Extractor extractor, BundleInstaller installer, std::shared_ptr<InstallLedger> ledger,
                                 fs::path workRoot, ReleaseSource source)
    : extractor_(std::move(extractor)), installer_(std::move(installer)), ledger_(std::move(ledger)),
      workRoot_(std::move(workRoot)), journals_(ledger_->file().parent_path()), store_(std::move(source)) {}

void InstallPipeline::setCheckpoint(Checkpoint checkpoint) {
    checkpoint_ = checkpoint;
    installer_.checkpoint = checkpoint;
    ledger_->checkpoint = std::move(checkpoint);
}

bool InstallPipeline::holdsResumeData(const InstallRequest& request) const {
    std::error_code missing;
    return fs::exists(workFolder(request) / InstallRecovery::resumeDataName, missing);
}

std::vector<std::string> InstallPipeline::recover() {
    return InstallRecovery(installer_, *ledger_, workRoot_).run();
}

fs::path InstallPipeline::workFolder(const InstallRequest& request) const {
    return workRoot_ / PathSafety::sanitizedFileName(request.download.key, "download");
}

template <typename Body>
auto InstallPipeline::withWorkDirectory(const InstallRequest& request, Body&& body) -> decltype(body(fs::path{})) {
    reach(checkpoint_, "work-folder");
    const fs::path work = XdgFolders::makePrivate(workFolder(request));
    // Held while the folder is in use, so a recovery run by another process leaves it alone.
    UniqueFd inUse(::open((work / InstallRecovery::inUseName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (inUse)
        ::flock(inUse.get(), LOCK_EX);
    struct Remover {
        fs::path folder;
        const Checkpoint& checkpoint;
        bool keep = false;
        ~Remover() {
            if (keep)
                return;
            std::error_code ignored;
            reach(checkpoint, "remove-work-folder");
            fs::remove_all(folder, ignored);
        }
    } remover{work, checkpoint_};
    try {
        return body(work);
    } catch (const DownloadInterrupted& interrupted) {
        // The partial file and its resume data wait here for the next attempt, also after a restart.
        if (interrupted.resumeData()) {
            AtomicFile::write(work / InstallRecovery::resumeDataName, *interrupted.resumeData());
            remover.keep = true;
        }
        throw;
    }
}

void InstallPipeline::checkSize(const fs::path& file, int64_t expected) {
    const auto actual = static_cast<int64_t>(fs::file_size(file));
    if (expected > 0 && actual != expected)
        throw InstallError::sizeMismatch(expected, actual);
}

void InstallPipeline::refuseBelowFloors(const std::vector<std::pair<StagedBundle, VerifiedCode>>& verified) const {
    for (const auto& [bundle, code] : verified) {
        const auto floor = ledger_->floor(code.identifier);
        if (floor && code.version && Version(*code.version) < Version(*floor))
            throw InstallError::downgrade(bundle.name(), *floor, *code.version);
    }
}

CheckedRelease InstallPipeline::checkRelease(const fs::path& file, int64_t expectedSize, const fs::path& work,
                                             std::stop_token stop) const {
    return offThread([&] {
        checkSize(file, expectedSize);
        const auto kind = sniffArtifactKind(file);
        if (!kind)
            throw InstallError::unknownFormat();
        reach(checkpoint_, "extract");
        CheckedRelease checked{.extraction = extractor_.extract(file, *kind, work), .verified = {}};
        throwIfStopped(stop);
        checked.verified = installer_.verifyAll(checked.extraction.bundles);
        refuseBelowFloors(checked.verified);
        return checked;
    });
}

std::vector<InstalledItem> InstallPipeline::leftoversOf(const std::string& productId,
                                                        const std::vector<InstalledItem>& items) const {
    const auto previous = ledger_->record(productId);
    if (!previous)
        return {};
    std::set<std::string> kept;
    for (const auto& item : items)
        kept.insert(item.path);
    std::vector<InstalledItem> dropped;
    for (const auto& item : previous->items)
        if (!kept.contains(item.path))
            dropped.push_back(item);
    return dropped;
}

// The journal is written before the first bundle moves and follows every
// step, so whatever instant the process dies at, recovery can finish the
// install or undo it. It goes only once the ledger and floors agree with the disk.
InstallRecord InstallPipeline::placeAndRecord(const InstallRequest& request, const CheckedRelease& checked,
                                              const StageCallback& stage) {
    report(stage, InstallStage::Kind::installing);
    InstallJournal journal{.operation = InstallJournal::Operation::install, .productId = request.productId};
    journal.steps = installer_.plan(checked.verified);
    auto items = installer_.itemsFor(checked.verified);
    journal.leftovers = leftoversOf(request.productId, items);
    journal.record = InstallRecord{request.productId,
                                   request.productName,
                                   request.version,
                                   request.download.key,
                                   std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()),
                                   std::move(items),
                                   checked.extraction.notes};
    const auto writeJournal = [&] {
        reach(checkpoint_, "journal");
        journals_.write(journal);
    };
    writeJournal();
    try {
        offThread([&] { installer_.installVerified(checked.verified, journal.steps, writeJournal); });
    } catch (...) {
        journals_.remove(request.productId);
        throw;
    }
    installer_.uninstall(journal.leftovers);
    journal.record->installedAt = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    ledger_->save(*journal.record);
    reach(checkpoint_, "journal-done");
    journals_.remove(request.productId);
    Log::info(Log::Category::install, "installed " + request.productId + " " + request.version);
    report(stage, InstallStage::Kind::installed);
    return *journal.record;
}

CheckedRelease InstallPipeline::fetchAndVerify(const InstallRequest& request, const fs::path& work,
                                               const std::optional<std::string>& resumeData, const StageCallback& stage,
                                               std::stop_token stop) {
    const int64_t size = request.download.size;
    if (size <= 0)
        throw InstallError::unsafeArchive("the store gave no size for this download");
    if (!store_.client || !store_.downloader)
        throw std::logic_error("this install pipeline has no store to download from");
    report(stage, InstallStage::Kind::resolving);
    const Url url = store_.client->resolveDownload(request.download);
    const fs::path destination = work / PathSafety::sanitizedFileName(request.download.name, "download");
    if (stage)
        stage(InstallStage::downloading(0, size));
    const auto progress = [&](int64_t received, int64_t expected) {
        if (stage)
            stage(InstallStage::downloading(received, expected > 0 ? expected : size));
    };
    reach(checkpoint_, "download");
    store_.downloader->download(url, resumeData, destination, size, progress, stop);
    throwIfStopped(stop);
    report(stage, InstallStage::Kind::verifying);
    return checkRelease(destination, size, work, stop);
}

InstallRecord InstallPipeline::run(const InstallRequest& request, const std::optional<std::string>& resumeData,
                                   const StageCallback& stage, std::stop_token stop) {
    return withWorkDirectory(request, [&](const fs::path& work) {
        // What a paused attempt left: its resume data is in the work folder when none is given.
        std::optional<std::string> resume = resumeData;
        if (!resume)
            resume = AtomicFile::read(work / InstallRecovery::resumeDataName, ResumeData::maxBytes);
        const CheckedRelease checked = fetchAndVerify(request, work, resume, stage, stop);
        return placeAndRecord(request, checked, stage);
    });
}

CheckedRelease InstallPipeline::verify(const InstallRequest& request, const StageCallback& stage,
                                       std::stop_token stop) {
    return withWorkDirectory(request, [&](const fs::path& work) {
        CheckedRelease checked = fetchAndVerify(request, work, std::nullopt, stage, stop);
        report(stage, InstallStage::Kind::installed);
        return checked;
    });
}

InstallRecord InstallPipeline::installFile(const InstallRequest& request, const fs::path& file,
                                           const StageCallback& stage, std::stop_token stop) {
    return withWorkDirectory(request, [&](const fs::path& work) {
        report(stage, InstallStage::Kind::verifying);
        const CheckedRelease checked = checkRelease(file, request.download.size, work, stop);
        throwIfStopped(stop);
        return placeAndRecord(request, checked, stage);
    });
}

CheckedRelease InstallPipeline::verifyFile(const InstallRequest& request, const fs::path& file,
                                           const StageCallback& stage, std::stop_token stop) {
    return withWorkDirectory(request, [&](const fs::path& work) {
        report(stage, InstallStage::Kind::verifying);
        CheckedRelease checked = checkRelease(file, request.download.size, work, stop);
        report(stage, InstallStage::Kind::installed);
        return checked;
    });
}

std::vector<std::string> InstallPipeline::uninstall(const std::string& productId) {
    const auto record = ledger_->record(productId);
    if (!record)
        return {};
    reach(checkpoint_, "journal");
    journals_.write(
        {.operation = InstallJournal::Operation::uninstall, .productId = productId, .removals = record->items});
    auto left = installer_.uninstall(record->items);
    ledger_->remove(productId);
    reach(checkpoint_, "journal-done");
    journals_.remove(productId);
    return left;
}

} // namespace ostrel
