#include "ReleaseCheck.h"

#include "Install/AppDirectories.h"
#include "Install/InstallLedger.h"
#include "Locations.h"
#include "Util/Uuid.h"
#include "Util/Version.h"
#include "VerifierOptions.h"
#include "Verify/ArtifactKind.h"
#include "Verify/Extractor.h"
#include "Verify/InstallError.h"

namespace ostrel::hubctl {
namespace fs = std::filesystem;
namespace {

void checkSize(const fs::path& file, const CommandLine& line) {
    const auto expected = line.value("size");
    if (!expected)
        return;
    int64_t bytes = 0;
    try {
        bytes = std::stoll(*expected);
    } catch (const std::exception&) {
        throw UsageError("--size needs a number of bytes.");
    }
    const auto actual = static_cast<int64_t>(fs::file_size(file));
    if (actual != bytes)
        throw InstallError::sizeMismatch(bytes, actual);
}

// An older release than one the hub ever installed is refused, as the install would refuse it.
void checkFloors(const std::vector<std::pair<StagedBundle, VerifiedCode>>& verified, const InstallLedger& ledger) {
    for (const auto& [bundle, code] : verified) {
        const auto floor = ledger.floor(code.identifier);
        if (floor && code.version && Version(*code.version) < Version(*floor))
            throw InstallError::downgrade(bundle.name(), *floor, *code.version);
    }
}

} // namespace

std::set<std::string> releaseOptions() {
    std::set<std::string> options = verifierOptions;
    options.insert({"size", "home", "applications", "data"});
    return options;
}

ReleaseCheck::ReleaseCheck(const fs::path& file, const CommandLine& line)
    : work_(AppDirectories::work() / newUuidString()), installer_{.verifier = verifierFor(line),
                                                                  .home = homeFolder(line),
                                                                  .applications = applicationsFolder(line)} {
    checkSize(file, line);
    const auto kind = sniffArtifactKind(file);
    if (!kind)
        throw InstallError::unknownFormat();
    const Extractor extractor{.verifier = installer_.verifier};
    extraction_ = extractor.extract(file, *kind, work_);
    verified_ = installer_.verifyAll(extraction_.bundles);
    checkFloors(verified_, InstallLedger(dataFolder(line)));
}

ReleaseCheck::~ReleaseCheck() {
    std::error_code ignored;
    fs::remove_all(work_, ignored);
}

void ReleaseCheck::print(std::ostream& out) const {
    for (const auto& [bundle, code] : verified_)
        out << bundle.name() << "  " << label(bundle.kind) << "  " << code.identifier << "  " << code.teamID << "  "
            << code.version.value_or("(no version)") << "  " << (code.notarized ? "notarised" : "not notarised")
            << "\n";
    for (const auto& note : extraction_.notes)
        out << "Note: " << note << "\n";
}

} // namespace ostrel::hubctl
