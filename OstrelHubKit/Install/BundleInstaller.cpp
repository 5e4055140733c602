#include "Install/BundleInstaller.h"

#include "Install/InstallError.h"
#include "Install/InstallTool.h"
#include "Platform/RunningApplications.h"
#include "Platform/Trash.h"
#include "Util/FileIdentity.h"
#include "Util/Uuid.h"
#include "Util/Version.h"
#include "Verify/Signature/BundleLayout.h"
#include "Verify/VerificationFailure.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <stdio.h>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

constexpr double copyLimit = 300;

// Something is there when a file exists or a link does, even a dangling one.
bool occupied(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

void removeQuietly(const fs::path& path) noexcept {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

// Moves a previous copy back into place; errors are ignored, as there is nothing better to do.
void restoreQuietly(const std::optional<fs::path>& previous, const fs::path& destination) noexcept {
    if (!previous)
        return;
    try {
        Trash::putBack(*previous, destination);
    } catch (...) {
        std::error_code ignored;
        fs::rename(*previous, destination, ignored);
    }
}

std::string nameWithoutExtension(const fs::path& path) {
    return path.stem().string();
}

// Hidden, beside the destination on the same volume, so the last step is a rename.
PlacementStep stepTo(const fs::path& destination) {
    const std::string name = destination.filename().string();
    return {destination.string(), (destination.parent_path() / ("." + name + ".ostrel-" + newUuidString())).string()};
}

bool notarisationRequired(BundleKind kind, const SignaturePolicy& policy) {
    return kind == BundleKind::app ? policy.requireNotarizedApps : policy.requireNotarizedPlugIns;
}

} // namespace

std::optional<fs::path> BundleInstaller::moveToTrash(const fs::path& item, const fs::path& recordedAs) {
    return Trash::moveToTrash(item, recordedAs);
}

std::vector<std::pair<StagedBundle, VerifiedCode>>
BundleInstaller::verifyAll(const std::vector<StagedBundle>& bundles) const {
    if (bundles.empty())
        throw InstallError::nothingToInstall();
    std::vector<std::pair<StagedBundle, VerifiedCode>> verified;
    for (const auto& bundle : bundles) {
        VerifiedCode code = verifier.verify(bundle.url);
        if (notarisationRequired(bundle.kind, verifier.policy()) && !code.notarized)
            throw VerificationFailure::notNotarized(bundle.name());
        verified.emplace_back(bundle, std::move(code));
    }
    return verified;
}

std::vector<InstalledItem> BundleInstaller::install(const std::vector<StagedBundle>& bundles) const {
    return installVerified(verifyAll(bundles));
}

std::vector<InstalledItem> BundleInstaller::installVerified(const Verified& verified) const {
    auto steps = plan(verified);
    return installVerified(verified, steps);
}

std::vector<PlacementStep> BundleInstaller::plan(const Verified& verified) const {
    std::vector<PlacementStep> steps;
    for (const auto& [bundle, code] : verified)
        steps.push_back(stepTo(destination(bundle)));
    return steps;
}

std::vector<InstalledItem> BundleInstaller::itemsFor(const Verified& verified) const {
    std::vector<InstalledItem> items;
    for (const auto& [bundle, code] : verified)
        items.push_back({destination(bundle).string(), bundle.kind, code.identifier, code.teamID, code.version});
    return items;
}

std::vector<InstalledItem> BundleInstaller::installVerified(const Verified& verified, std::vector<PlacementStep>& steps,
                                                            const StepRecorder& record) const {
    refuseRunningApps(verified);
    if (!allowDowngrade)
        refuseDowngrades(verified);
    size_t placed = 0;
    try {
        for (; placed < verified.size(); ++placed)
            placeStep(verified[placed].first.url, steps[placed], verified[placed].second, record);
    } catch (...) {
        rollBack({steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(placed)});
        throw;
    }
    return itemsFor(verified);
}

void BundleInstaller::refuseRunningApps(const std::vector<std::pair<StagedBundle, VerifiedCode>>& verified) const {
    for (const auto& [bundle, code] : verified) {
        if (bundle.kind == BundleKind::app)
            refuseIfRunning(destination(bundle));
    }
}

void BundleInstaller::refuseDowngrades(const std::vector<std::pair<StagedBundle, VerifiedCode>>& verified) const {
    for (const auto& [bundle, code] : verified) {
        const fs::path target = destination(bundle);
        if (!code.version || !occupied(target))
            continue;
        const auto installed = bundleVersion(target);
        if (installed && Version(*code.version) < Version(*installed))
            throw InstallError::downgrade(target.filename().string(), *installed, *code.version);
    }
}

std::optional<fs::path> BundleInstaller::place(const fs::path& source, const fs::path& destination,
                                               const VerifiedCode& expected) const {
    PlacementStep step = stepTo(destination);
    placeStep(source, step, expected, {});
    if (!step.trashedTo)
        return std::nullopt;
    return fs::path(*step.trashedTo);
}

// Copies the bundle in under its hidden name and proves the copy is what was verified.
void BundleInstaller::copyIn(const fs::path& source, PlacementStep& step, const VerifiedCode& expected) const {
    const fs::path incoming = step.incoming;
    const std::string name = fs::path(step.destination).filename().string();
    try {
        reach(checkpoint, "copy");
        fs::create_directories(incoming.parent_path());
        InstallTool::check("/usr/bin/cp", {"-a", "--no-dereference", source.string(), incoming.string()}, copyLimit);
        if (verifier.verify(incoming).identifier != expected.identifier)
            throw InstallError::placementFailed("the copy of " + name + " does not match what was verified");
    } catch (...) {
        removeQuietly(incoming);
        throw;
    }
    step.newCopy = FileIdentity::of(incoming).value_or(FileIdentity{});
}

// Puts the new copy at the destination in one step where the file system can
// swap two names; the copy it replaces then waits under the hidden name.
// Elsewhere the old copy steps aside first, leaving a moment with nothing in place.
void BundleInstaller::swapIn(const PlacementStep& step) const {
    const fs::path destination = step.destination;
    reach(checkpoint, "swap");
    if (!step.previousCopy.known()) {
        if (::renameat2(AT_FDCWD, step.incoming.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) != 0)
            throw InstallError::placementFailed(std::strerror(errno));
        return;
    }
    if (::renameat2(AT_FDCWD, step.incoming.c_str(), AT_FDCWD, destination.c_str(), RENAME_EXCHANGE) == 0)
        return;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        throw InstallError::placementFailed(std::strerror(errno));
    if (::rename(destination.c_str(), step.outgoing().c_str()) != 0)
        throw InstallError::placementFailed(std::strerror(errno));
    reach(checkpoint, "swap-second-half");
    if (::rename(step.incoming.c_str(), destination.c_str()) != 0)
        throw InstallError::placementFailed(std::strerror(errno));
}

void BundleInstaller::placeStep(const fs::path& source, PlacementStep& step, const VerifiedCode& expected,
                                const StepRecorder& record) const {
    const fs::path destination = step.destination;
    const std::string name = destination.filename().string();
    copyIn(source, step, expected);
    if (occupied(destination)) {
        if (!holdsSameProduct(destination, expected.identifier, expected.teamID)) {
            removeQuietly(step.incoming);
            throw InstallError::occupied(name);
        }
        step.previousCopy = FileIdentity::of(destination).value_or(FileIdentity{});
    }
    // Both copies are known before either moves, so a crash from here on can be undone.
    if (record)
        record();
    try {
        swapIn(step);
        verifier.verify(destination);
        finish(step);
    } catch (...) {
        rollBackStep(step);
        throw;
    }
    if (record)
        record();
}

void BundleInstaller::finish(PlacementStep& step) const {
    if (!step.previousCopy.known() || step.trashedTo)
        return;
    const std::string name = fs::path(step.destination).filename().string();
    for (const fs::path& parked : {fs::path(step.incoming), step.outgoing()}) {
        if (!holds(parked, step.previousCopy))
            continue;
        std::optional<fs::path> trashed;
        try {
            reach(checkpoint, "trash-previous");
            trashed = trash(parked, step.destination);
        } catch (...) {
        }
        // A Trash that claims to have taken the copy but left it has not taken it.
        if (occupied(parked))
            throw InstallError::placementFailed("could not move the old " + name + " to the Trash");
        step.trashedTo = trashed.value_or(fs::path()).string();
        return;
    }
}

bool BundleInstaller::isInPlace(const PlacementStep& step) {
    return holds(step.destination, step.newCopy);
}

bool BundleInstaller::holdsSameProduct(const fs::path& bundle, const std::string& identifier,
                                       const std::string& teamID) const noexcept {
    try {
        const auto there = verifier.verify(bundle);
        return there.identifier == identifier && there.teamID == teamID;
    } catch (...) {
        return false;
    }
}

void BundleInstaller::rollBack(const std::vector<PlacementStep>& steps) const noexcept {
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        try {
            rollBackStep(*it);
        } catch (...) {
            // Nothing better to do; recovery looks again at the next start.
        }
    }
}

void BundleInstaller::rollBackStep(const PlacementStep& step) const {
    const fs::path destination = step.destination;
    const fs::path incoming = step.incoming;
    if (isInPlace(step)) {
        // Swap back when the old copy still waits under the hidden name; the new one then goes.
        if (holds(incoming, step.previousCopy))
            ::renameat2(AT_FDCWD, incoming.c_str(), AT_FDCWD, destination.c_str(), RENAME_EXCHANGE);
        else
            removeQuietly(destination);
    }
    // The hidden name holds the new copy, or a copy that never finished.
    if (occupied(incoming) && !holds(incoming, step.previousCopy))
        removeQuietly(incoming);
    if (!step.previousCopy.known() || holds(destination, step.previousCopy))
        return;
    std::vector<fs::path> places{step.outgoing(), incoming};
    if (step.trashedTo && !step.trashedTo->empty())
        places.emplace_back(*step.trashedTo);
    for (const auto& trashed : Trash::itemsFrom(destination))
        places.push_back(trashed);
    for (const auto& place : places) {
        if (holds(place, step.previousCopy)) {
            restoreQuietly(place, destination);
            return;
        }
    }
}

std::vector<std::string> BundleInstaller::uninstall(const std::vector<InstalledItem>& items) const noexcept {
    std::vector<std::string> leftInPlace;
    for (const auto& item : items) {
        if (!occupied(item.url()))
            continue;
        // Changed since install: left for the user, whoever changed it.
        if (!holdsSameProduct(item.url(), item.identifier, item.teamID)) {
            leftInPlace.push_back(item.name());
            continue;
        }
        try {
            if (item.kind == BundleKind::app)
                refuseIfRunning(item.url());
            reach(checkpoint, "trash-item");
            trash(item.url(), item.url());
        } catch (...) {
            leftInPlace.push_back(item.name());
        }
    }
    return leftInPlace;
}

std::vector<fs::path> BundleInstaller::systemCopies(const std::vector<InstalledItem>& items) const {
    std::vector<fs::path> copies;
    for (const auto& item : items) {
        const auto folder = systemDirectory(item.kind);
        if (folder && occupied(*folder / item.name()))
            copies.push_back(*folder / item.name());
    }
    return copies;
}

fs::path BundleInstaller::destination(const StagedBundle& bundle) const {
    return destinationDirectory(bundle.kind, home, applications) / bundle.name();
}

void BundleInstaller::refuseIfRunning(const fs::path& app) const {
    if (occupied(app) && RunningApplications::isRunning(app))
        throw InstallError::appRunning(nameWithoutExtension(app));
}

} // namespace ostrel
