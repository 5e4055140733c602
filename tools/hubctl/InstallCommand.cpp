#include "Command.h"
#include "Install/InstallLock.h"
#include "Locations.h"
#include "Pipeline.h"
#include "StoreRelease.h"
#include "StoreSession.h"
#include "Util/Error.h"
#include "VerifierOptions.h"

namespace ostrel::hubctl {
namespace {

std::string required(const CommandLine& line, const std::string& option) {
    const auto value = line.value(option);
    if (!value || value->empty())
        throw UsageError("--" + option + " is required.");
    return *value;
}

int install(const CommandLine& line, Output io) {
    line.expectArguments(1, "the release file or product to install");
    if (!std::filesystem::is_regular_file(line.arguments()[0]))
        return installFromStore(line, io);
    for (const char* option : {"product", "name", "version"})
        required(line, option);
    auto pipeline = pipelineFor(line);
    const auto lock = lockAndRecover(pipeline, line, io);
    const std::filesystem::path file = line.arguments()[0];
    const auto record = pipeline.installFile(requestFor(file, line), file, {});
    for (const auto& item : record.items)
        io.out << "Installed " << item.path << "\n";
    return 0;
}

int uninstall(const CommandLine& line, Output io) {
    line.expectArguments(1, "the product identifier");
    const auto& product = line.arguments()[0];
    auto pipeline = pipelineFor(line);
    const auto lock = lockAndRecover(pipeline, line, io);
    if (!pipeline.ledger().record(product)) {
        io.err << "Nothing is installed as " << product << ".\n";
        return 1;
    }
    const auto left = pipeline.uninstall(product);
    if (left.empty()) {
        io.out << "Moved to the Trash.\n";
        return 0;
    }
    io.out << "Left in place because they changed since install:";
    for (const auto& name : left)
        io.out << " " << name;
    io.out << "\n";
    return 0;
}

int recover(const CommandLine& line, Output io) {
    line.expectArguments(0, "nothing");
    auto pipeline = pipelineFor(line);
    const auto lock = lockAndRecover(pipeline, line, io);
    io.out << "The ledger, the version floors and the installed files agree.\n";
    return 0;
}

} // namespace

Command recoverCommand() {
    auto options = verifierOptions;
    options.insert({"data", "home", "applications"});
    return {"recover",
            "finish or undo an install or uninstall that was interrupted",
            "ostrel-hubctl recover [--data DIR] [--home DIR] [--applications DIR] [--team ID] [--anchors PEM]\n\n"
            "Finishes an install whose new bundles are all in place, or puts the previous release\n"
            "back; finishes an interrupted uninstall; removes unfinished copies, work folders and\n"
            "temporary files. install and uninstall do this first by themselves. Says on standard\n"
            "error what it did.\n",
            options,
            {},
            recover};
}

Command installCommand() {
    auto options = releaseOptions();
    options.insert({"product", "name", "version"});
    options.insert(storeOptions.begin(), storeOptions.end());
    return {"install",
            "install a store product, or a release file, and record it in the ledger",
            "ostrel-hubctl install PRODUCT-ID [--config FILE] [--home DIR] [--applications DIR] [--data DIR]\n"
            "                     [--team ID] [--anchors PEM]\n"
            "ostrel-hubctl install FILE --product ID --name NAME --version V [--home DIR]\n"
            "                     [--applications DIR] [--data DIR] [--team ID] [--anchors PEM] [--size N]\n\n"
            "Runs every check of 'check', then puts the bundles in place (what they replace goes\n"
            "to the Trash) and records the product in the ledger. A product identifier installs\n"
            "the store's current release for the signed-in account; Ctrl-C stops its download,\n"
            "and running the same command again resumes it.\n\n"
            "  --config FILE       the service configuration (default: the production services)\n"
            "  --product ID        the store's product identifier\n"
            "  --name NAME         the product's name\n"
            "  --version V         the store release version\n"
            "  --home DIR          root of the plug-in folders (default: your home folder)\n"
            "  --applications DIR  where apps go (default: ~/Applications)\n"
            "  --data DIR          the hub's data folder (ledger and lock)\n",
            options,
            {},
            install};
}

Command uninstallCommand() {
    auto options = verifierOptions;
    options.insert({"data", "home", "applications"});
    return {"uninstall",
            "move an installed product's bundles to the Trash",
            "ostrel-hubctl uninstall ID [--data DIR] [--home DIR] [--applications DIR] [--team ID] [--anchors PEM]\n\n"
            "Moves the product's bundles to the Trash, leaving in place any that changed since\n"
            "install, and drops the product from the ledger (its version floors stay).\n",
            options,
            {},
            uninstall};
}

} // namespace ostrel::hubctl
