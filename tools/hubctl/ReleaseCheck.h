#pragma once

#include "CommandLine.h"
#include "Verify/BundleInstaller.h"
#include "Verify/StagedBundle.h"

#include <filesystem>
#include <ostream>
#include <utility>
#include <vector>

namespace ostrel::hubctl {

// A release file checked the way the hub checks a download, in a private work
// folder that is removed again: size, kind, unpacking with every limit, the
// container's own signature, every bundle's signature and notarisation under
// the policy, and the ledger's version floors. Throws the refusal.
class ReleaseCheck {
public:
    ReleaseCheck(const std::filesystem::path& file, const CommandLine& line);
    ReleaseCheck(const ReleaseCheck&) = delete;
    ReleaseCheck& operator=(const ReleaseCheck&) = delete;
    ~ReleaseCheck();

    const BundleInstaller& installer() const { return installer_; }
    const Extraction& extraction() const { return extraction_; }
    const std::vector<std::pair<StagedBundle, VerifiedCode>>& verified() const { return verified_; }

    // One line per bundle: name, kind, identifier, team, version, notarised.
    void print(std::ostream& out) const;

private:
    std::filesystem::path work_;
    BundleInstaller installer_;
    Extraction extraction_;
    std::vector<std::pair<StagedBundle, VerifiedCode>> verified_;
};

// Options of the commands that check a release.
std::set<std::string> releaseOptions();

} // namespace ostrel::hubctl
