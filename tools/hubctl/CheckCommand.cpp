#include "Command.h"
#include "Pipeline.h"
#include "StoreRelease.h"
#include "StoreSession.h"

namespace ostrel::hubctl {
namespace {

int run(const CommandLine& line, Output io) {
    line.expectArguments(1, "the release file or product to check");
    if (!std::filesystem::is_regular_file(line.arguments()[0]))
        return checkFromStore(line, io);
    const std::filesystem::path file = line.arguments()[0];
    print(io.out, pipelineFor(line).verifyFile(requestFor(file, line), file, {}));
    io.out << "passed every check\n";
    return 0;
}

} // namespace

Command checkCommand() {
    auto options = releaseOptions();
    options.insert(storeOptions.begin(), storeOptions.end());
    return {"check",
            "check a release file, or a store product's release, as the hub checks a download",
            "ostrel-hubctl check FILE [--size N] [--team ID] [--anchors PEM] [--data DIR]\n"
            "ostrel-hubctl check PRODUCT-ID [--config FILE] [--team ID] [--anchors PEM] [--data DIR]\n\n"
            "Checks a package, disk image or zip: its size (with --size), kind, unpacking within\n"
            "every limit, the container's own signature, every bundle's signature and\n"
            "notarisation, and the version floors of the ledger. Installs nothing. A product\n"
            "identifier downloads the store's current release afresh and checks that.\n\n"
            "  --config FILE  the service configuration (default: the production services)\n"
            "  --size N       the size in bytes the store published\n"
            "  --team ID      accept this Developer ID team instead of Ostrel's\n"
            "  --anchors PEM  trust only these root certificates instead of Apple's\n"
            "  --data DIR     the hub's data folder, for the version floors\n",
            options,
            {},
            run};
}

} // namespace ostrel::hubctl
