#include "Command.h"
#include "Install/InstallLock.h"
#include "Locations.h"
#include "Pipeline.h"
#include "Util/Error.h"
#include "VerifierOptions.h"

namespace ostrel::hubctl {
namespace {

// The same words the app shows when the background updater holds the lock.
class LockTaken : public Error {
public:
    LockTaken() : Error("A background update is running. Try again in a minute.") {}
};

// Takes the install lock and first puts right whatever an interrupted run left, saying what it did.
InstallLock lockAndRecover(InstallPipeline& pipeline, const CommandLine& line, Output io) {
    InstallLock lock(dataFolder(line));
    if (!lock.tryLock())
        throw LockTaken();
    for (const auto& action : pipeline.recover())
        io.err << action << "\n";
    return lock;
}

std::string required(const CommandLine& line, const std::string& option) {
    const auto value = line.value(option);
    if (!value || value->empty())
        throw UsageError("--" + option + " is required.");
    return *value;
}

int install(const CommandLine& line, Output io) {
    line.expectArguments(1, "the release file to install");
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
    return {"install",
            "check a release file, then install it and record it in the ledger",
            "ostrel-hubctl install FILE --product ID --name NAME --version V [--home DIR]\n"
            "                     [--applications DIR] [--data DIR] [--team ID] [--anchors PEM] [--size N]\n\n"
            "Runs every check of 'check', then puts the bundles in place (what they replace goes\n"
            "to the Trash) and records the product in the ledger.\n\n"
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
