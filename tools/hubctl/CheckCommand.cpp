#include "Command.h"
#include "Pipeline.h"

namespace ostrel::hubctl {
namespace {

int run(const CommandLine& line, Output io) {
    line.expectArguments(1, "the release file to check");
    const std::filesystem::path file = line.arguments()[0];
    print(io.out, pipelineFor(line).verifyFile(requestFor(file, line), file, {}));
    io.out << "passed every check\n";
    return 0;
}

} // namespace

Command checkCommand() {
    return {"check",
            "check a release file as the hub checks a download",
            "ostrel-hubctl check FILE [--size N] [--team ID] [--anchors PEM] [--data DIR]\n\n"
            "Checks a package, disk image or zip: its size (with --size), kind, unpacking within\n"
            "every limit, the container's own signature, every bundle's signature and\n"
            "notarisation, and the version floors of the ledger. Installs nothing.\n\n"
            "  --size N       the size in bytes the store published\n"
            "  --team ID      accept this Developer ID team instead of Ostrel's\n"
            "  --anchors PEM  trust only these root certificates instead of Apple's\n"
            "  --data DIR     the hub's data folder, for the version floors\n",
            releaseOptions(),
            {},
            run};
}

} // namespace ostrel::hubctl
