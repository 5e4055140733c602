#include "StoreRelease.h"

#include "Install/DownloadError.h"
#include "Install/UpdateRunner.h"
#include "InterruptStop.h"
#include "Locations.h"
#include "Pipeline.h"
#include "ProgressReport.h"
#include "Services/MoonbaseError.h"
#include "StoreSession.h"
#include "VerifierOptions.h"

namespace ostrel::hubctl {
namespace {

// Runs one pipeline call with progress, turning Ctrl-C into a paused download. Returns the
// exit status of an interruption, or nothing when the call finished.
template <typename Call>
std::optional<int> withProgress(Output io, Call&& call) {
    ProgressReport progress(io.out, ProgressReport::stdoutIsTerminal());
    const InterruptStop interrupt;
    try {
        call(progress.callback(), interrupt.token());
        progress.finish();
        return std::nullopt;
    } catch (const DownloadInterrupted& stopped) {
        progress.finish();
        io.err << (stopped.resumeData() ? "Stopped. Run the same install again to resume the download.\n"
                                        : "Stopped before anything was downloaded.\n");
    } catch (const Cancelled&) {
        progress.finish();
        io.err << "Stopped.\n";
    } catch (...) {
        progress.finish();
        throw;
    }
    return InterruptStop::exitStatus;
}

std::string productArgument(const CommandLine& line) {
    line.expectArguments(1, "the product identifier or release file");
    return line.arguments()[0];
}

int update(const CommandLine& line, Output io) {
    line.expectArguments(0, "nothing");
    StoreSession store(line);
    if (!store.client.isSignedIn())
        throw MoonbaseError::notSignedIn();
    auto pipeline = pipelineFor(line, &store);
    const auto lock = lockAndRecover(pipeline, line, io);
    // Read once, after recovery, for the list of products; the pipeline writes through its own.
    InstallLedger ledger(dataFolder(line));
    const auto outcome = UpdateRunner(store.client, ledger, pipeline).run();
    for (const auto& updated : outcome.updated)
        io.out << "Updated " << updated.name << " to " << updated.version << ".\n";
    for (const auto& failed : outcome.failed)
        io.err << failed.name << " was not updated: " << failed.reason << "\n";
    if (outcome.updated.empty() && outcome.failed.empty())
        io.out << "Everything is up to date.\n";
    return outcome.failed.empty() ? 0 : 1;
}

} // namespace

int installFromStore(const CommandLine& line, Output io) {
    const auto productId = productArgument(line);
    StoreSession store(line);
    auto pipeline = pipelineFor(line, &store);
    const auto lock = lockAndRecover(pipeline, line, io);
    const auto request = storeRequest(store.client.product(productId), pipeline.ledger().record(productId));
    if (pipeline.holdsResumeData(request))
        io.err << "Resuming the download.\n";
    InstallRecord record;
    if (const auto stopped = withProgress(io, [&](const StageCallback& stage, std::stop_token stop) {
            record = pipeline.run(request, std::nullopt, stage, stop);
        }))
        return *stopped;
    io.out << "Installed " << record.productName << " " << record.version << ":\n";
    for (const auto& item : record.items)
        io.out << "  " << item.path << "\n";
    return 0;
}

int checkFromStore(const CommandLine& line, Output io) {
    const auto productId = productArgument(line);
    StoreSession store(line);
    auto pipeline = pipelineFor(line, &store);
    const auto request = storeRequest(store.client.product(productId), std::nullopt);
    CheckedRelease checked;
    if (const auto stopped = withProgress(io, [&](const StageCallback& stage, std::stop_token stop) {
            checked = pipeline.verify(request, stage, stop);
        }))
        return *stopped;
    print(io.out, checked);
    io.out << request.productName << " " << request.version << " passed every check\n";
    return 0;
}

Command updateCommand() {
    auto options = storeOptions;
    options.insert(verifierOptions.begin(), verifierOptions.end());
    options.insert({"data", "home", "applications"});
    return {"update",
            "bring every installed product up to the store's current release",
            "ostrel-hubctl update [--config FILE] [--data DIR] [--home DIR] [--applications DIR]\n"
            "                    [--team ID] [--anchors PEM]\n\n"
            "Under the install lock, asks the store about every product in the ledger and installs\n"
            "each newer release, one at a time, as the background updater does. Prints what was\n"
            "updated; what failed goes to standard error with its reason, and the exit status is 1.\n",
            options,
            {},
            update};
}

} // namespace ostrel::hubctl
