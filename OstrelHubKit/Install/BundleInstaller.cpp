#include "Install/BundleInstaller.h"

#include "Install/InstallError.h"
#include "Install/InstallTool.h"
#include "Platform/RunningApplications.h"
#include "Platform/Trash.h"
#include "Util/Uuid.h"
#include "Util/Version.h"
#include "Verify/Signature/BundleLayout.h"
#include "Verify/VerificationFailure.h"

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

bool notarisationRequired(BundleKind kind, const SignaturePolicy& policy) {
    return kind == BundleKind::app ? policy.requireNotarizedApps : policy.requireNotarizedPlugIns;
}

} // namespace

std::optional<fs::path> BundleInstaller::moveToTrash(const fs::path& item) {
    return Trash::moveToTrash(item);
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

std::vector<InstalledItem>
BundleInstaller::installVerified(const std::vector<std::pair<StagedBundle, VerifiedCode>>& verified) const {
    refuseRunningApps(verified);
    if (!allowDowngrade)
        refuseDowngrades(verified);

    std::vector<Placement> placed;
    std::vector<InstalledItem> items;
    try {
        for (const auto& [bundle, code] : verified) {
            const fs::path target = destination(bundle);
            const auto previous = place(bundle.url, target, code);
            placed.emplace_back(target, previous);
            items.push_back({target.string(), bundle.kind, code.identifier, code.teamID, code.version});
        }
    } catch (...) {
        rollBack(placed);
        throw;
    }
    return items;
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
    fs::create_directories(destination.parent_path());
    const std::string name = destination.filename().string();
    // Hidden, beside the destination on the same volume, so the last step is a rename.
    const fs::path temporary = destination.parent_path() / ("." + name + ".ostrel-" + newUuidString());
    try {
        InstallTool::check("/usr/bin/cp", {"-a", "--no-dereference", source.string(), temporary.string()}, copyLimit);
        if (verifier.verify(temporary).identifier != expected.identifier)
            throw InstallError::placementFailed("the copy of " + name + " does not match what was verified");
    } catch (...) {
        removeQuietly(temporary);
        throw;
    }
    const auto previous = takeAwayOccupant(destination, expected, temporary);

    std::error_code renameError;
    fs::rename(temporary, destination, renameError);
    if (renameError) {
        restoreQuietly(previous, destination);
        removeQuietly(temporary);
        throw InstallError::placementFailed(renameError.message());
    }
    try {
        verifier.verify(destination);
    } catch (...) {
        removeQuietly(destination);
        restoreQuietly(previous, destination);
        throw;
    }
    return previous;
}

std::optional<fs::path> BundleInstaller::takeAwayOccupant(const fs::path& destination, const VerifiedCode& expected,
                                                          const fs::path& temporary) const {
    if (!occupied(destination))
        return std::nullopt;
    const std::string name = destination.filename().string();
    if (!holdsSameProduct(destination, expected.identifier, expected.teamID)) {
        removeQuietly(temporary);
        throw InstallError::occupied(name);
    }
    try {
        return trash(destination);
    } catch (...) {
        removeQuietly(temporary);
        throw InstallError::placementFailed("could not move the old " + name + " to the Trash");
    }
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

void BundleInstaller::rollBack(const std::vector<Placement>& placements) const noexcept {
    for (auto it = placements.rbegin(); it != placements.rend(); ++it) {
        removeQuietly(it->first);
        restoreQuietly(it->second, it->first);
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
            trash(item.url());
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
