#include "Pipeline.h"

#include "Install/AppDirectories.h"
#include "Install/InstallRecovery.h"
#include "Locations.h"
#include "StoreSession.h"
#include "Util/Error.h"
#include "Util/PathSafety.h"
#include "VerifierOptions.h"

namespace ostrel::hubctl {
namespace fs = std::filesystem;
namespace {

int64_t publishedSize(const CommandLine& line) {
    const auto text = line.value("size");
    if (!text)
        return 0;
    try {
        size_t used = 0;
        const long long bytes = std::stoll(*text, &used);
        if (used == text->size() && bytes > 0)
            return bytes;
    } catch (const std::exception&) {
    }
    throw UsageError("--size needs a number of bytes.");
}

// The same words the app shows when the background updater holds the lock.
class LockTaken : public Error {
public:
    LockTaken() : Error("A background update is running. Try again in a minute.") {}
};

ReleaseSource sourceFor(StoreSession* store) {
    if (store == nullptr)
        return {};
    const auto& config = store->config;
    return {&store->client, std::make_shared<Downloader>(config.hostPolicy(), config.pinnedTrust(),
                                                         PinnedCurl::Routing{config.caBundle, config.connectTo})};
}

} // namespace

InstallPipeline pipelineFor(const CommandLine& line, StoreSession* store) {
    const CodeVerifier verifier = verifierFor(line);
    // Store releases come signed as a whole, as the app insists; a local file may be a bare zip.
    return InstallPipeline(
        Extractor{.verifier = verifier, .requireSignedContainers = store != nullptr},
        BundleInstaller{.verifier = verifier, .home = homeFolder(line), .applications = applicationsFolder(line)},
        std::make_shared<InstallLedger>(dataFolder(line)), AppDirectories::work(), sourceFor(store));
}

InstallLock lockAndRecover(InstallPipeline& pipeline, const CommandLine& line, Output io) {
    InstallLock lock(dataFolder(line));
    if (!lock.tryLock())
        throw LockTaken();
    for (const auto& action : pipeline.recover())
        io.err << action << "\n";
    return lock;
}

InstallRequest requestFor(const fs::path& file, const CommandLine& line) {
    InstallRequest request{.productId = line.value("product").value_or(""),
                           .productName = line.value("name").value_or(""),
                           .version = line.value("version").value_or(""),
                           .download = {}};
    request.download.name = file.filename().string();
    // A work folder of its own, so two checks of one file never share one.
    request.download.key = file.filename().string() + "-" + std::to_string(::getpid());
    request.download.platform = Platform::mac;
    request.download.size = publishedSize(line);
    return request;
}

void print(std::ostream& out, const CheckedRelease& checked) {
    for (const auto& [bundle, code] : checked.verified)
        out << bundle.name() << "  " << label(bundle.kind) << "  " << code.identifier << "  " << code.teamID << "  "
            << code.version.value_or("(no version)") << "  " << (code.notarized ? "notarised" : "not notarised")
            << "\n";
    for (const auto& note : checked.extraction.notes)
        out << "Note: " << note << "\n";
}

std::set<std::string> releaseOptions() {
    std::set<std::string> options = verifierOptions;
    options.insert({"size", "home", "applications", "data"});
    return options;
}

} // namespace ostrel::hubctl
