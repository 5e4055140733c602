#pragma once

#include "Install/Checkpoint.h"
#include "Install/InstallJournal.h"
#include "Install/InstalledItem.h"
#include "Install/StagedBundle.h"
#include "Verify/CodeVerifier.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrel {

// Puts verified bundles where hosts and the system look for them, and takes
// them away again. It never overwrites what it cannot prove to be the same
// product from the same publisher: every bundle is verified before it is
// placed and again where it lands, and an existing copy is replaced only if
// it verifies with the same identifier and team. What is replaced or removed
// goes to the Trash, and a failed install puts the previous copies back.
class BundleInstaller {
public:
    // Takes an item away and says where it went (absent when it is simply gone). The second
    // path is where the item belongs, for the Trash to remember when the item waits under a
    // hidden name.
    using TrashOperation = std::function<std::optional<std::filesystem::path>(const std::filesystem::path& item,
                                                                              const std::filesystem::path& recordedAs)>;
    using Verified = std::vector<std::pair<StagedBundle, VerifiedCode>>;
    // Called whenever a placement step learns something recovery needs; the caller saves its journal.
    using StepRecorder = std::function<void()>;

    CodeVerifier verifier;
    std::filesystem::path home{};
    std::filesystem::path applications{};
    TrashOperation trash = moveToTrash;
    bool allowDowngrade = false;
    Checkpoint checkpoint{};

    // The desktop Trash.
    static std::optional<std::filesystem::path> moveToTrash(const std::filesystem::path& item,
                                                            const std::filesystem::path& recordedAs);

    // Every bundle verified, and notarised where the policy asks; nothing to install throws.
    std::vector<std::pair<StagedBundle, VerifiedCode>> verifyAll(const std::vector<StagedBundle>& bundles) const;
    // Verifies everything first, then places the bundles in order; on a failure the ones placed
    // so far are rolled back and the error is rethrown.
    std::vector<InstalledItem> install(const std::vector<StagedBundle>& bundles) const;
    // The same for bundles verifyAll already accepted, so they are not hashed twice before
    // placement (each is still verified again where it lands). `steps` is the plan() of the
    // bundles; `record` is called whenever a step changes, so a journal can follow.
    std::vector<InstalledItem> installVerified(const Verified& verified, std::vector<PlacementStep>& steps,
                                               const StepRecorder& record = {}) const;
    std::vector<InstalledItem> installVerified(const Verified& verified) const;

    // Where each bundle goes and the hidden name its copy is made under, before anything moves.
    std::vector<PlacementStep> plan(const Verified& verified) const;
    // The ledger's items for these bundles once placed.
    std::vector<InstalledItem> itemsFor(const Verified& verified) const;

    // Places one verified bundle; returns where the copy it replaced now lies.
    std::optional<std::filesystem::path> place(const std::filesystem::path& source,
                                               const std::filesystem::path& destination,
                                               const VerifiedCode& expected) const;
    // Undoes placements, last first: each new copy goes, and the copy it replaced comes back
    // from wherever it is (its hidden name, the Trash). Never throws. Recovery uses it too.
    void rollBack(const std::vector<PlacementStep>& steps) const noexcept;
    // Finishes a placement whose new copy is in place: the copy it replaced goes to the Trash.
    void finish(PlacementStep& step) const;
    // Whether the step's new copy is the one at its destination.
    static bool isInPlace(const PlacementStep& step);
    // Moves the items to the Trash; returns the names of those left in place because they
    // changed since install (or are running). Never throws.
    std::vector<std::string> uninstall(const std::vector<InstalledItem>& items) const noexcept;
    // Copies of the items in the system-wide plug-in folders, which hosts may load as well.
    std::vector<std::filesystem::path> systemCopies(const std::vector<InstalledItem>& items) const;
    // The kind's folder plus the bundle's name.
    std::filesystem::path destination(const StagedBundle& bundle) const;
    // Throws InstallError::appRunning when a program of the app is running.
    void refuseIfRunning(const std::filesystem::path& app) const;

private:
    void refuseRunningApps(const std::vector<std::pair<StagedBundle, VerifiedCode>>& verified) const;
    void refuseDowngrades(const std::vector<std::pair<StagedBundle, VerifiedCode>>& verified) const;
    // Whether the bundle verifies with this identifier and team; decided by signature alone.
    bool holdsSameProduct(const std::filesystem::path& bundle, const std::string& identifier,
                          const std::string& teamID) const noexcept;
    void placeStep(const std::filesystem::path& source, PlacementStep& step, const VerifiedCode& expected,
                   const StepRecorder& record) const;
    void copyIn(const std::filesystem::path& source, PlacementStep& step, const VerifiedCode& expected) const;
    void swapIn(const PlacementStep& step) const;
    void rollBackStep(const PlacementStep& step) const;
};

} // namespace ostrel
