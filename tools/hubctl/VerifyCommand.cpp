#include "Command.h"
#include "VerifierOptions.h"
#include "Verify/CodeVerifier.h"
#include "Verify/Signature/BundleLayout.h"
#include "Verify/Signature/Certificate.h"
#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/MachOSignature.h"
#include "Verify/VerificationFailure.h"

namespace ostrel::hubctl {
namespace {

namespace fs = std::filesystem;

// The code whose slices we list: a bare file, else the bundle's main executable
// (a codeless bundle has none).
std::optional<fs::path> mainCode(const fs::path& path) {
    if (!fs::is_directory(fs::symlink_status(path)))
        return path;
    return BundleLayout::read(path).mainExecutable();
}

void printCode(const VerifiedCode& code, const signature::TrustSettings& trust, std::ostream& out) {
    out << "path:        " << code.path << "\n"
        << "identifier:  " << code.identifier << "\n"
        << "team:        " << code.teamID << "\n"
        << "version:     " << code.version.value_or("-") << "\n"
        << "notarised:   " << (code.notarized ? "yes" : "no") << "\n";
    if (auto file = mainCode(code.path))
        for (const auto& slice : signature::checkMachOSignature(*file, trust).slices)
            out << "cdhash:      " << FileBytes::hex(slice.cdhash) << " (" << slice.architecture << ")\n";
}

int run(const CommandLine& line, Output io) {
    line.expectArguments(1, "the bundle or Mach-O file to check");
    const CodeVerifier verifier = verifierFor(line);
    try {
        printCode(verifier.verify(line.arguments().front()), verifier.trust(), io.out);
        return 0;
    } catch (const VerificationFailure& refusal) {
        io.out << refusal.what() << "\n";
        return 1;
    }
}

} // namespace

Command verifyCommand() {
    return {"verify",
            "check a bundle's or Mach-O file's code signature",
            "ostrel-hubctl verify PATH [--team ID] [--anchors PEM]\n\n"
            "Checks the code signature of a bundle or bare Mach-O file as the installer does\n"
            "and prints what was verified (with each architecture's cdhash), or why it is refused.\n"
            "Exits 0 when the code is accepted, 1 when it is refused.\n\n"
            "  --team ID       the team whose Developer ID must sign (default: Ostrel's)\n"
            "  --anchors PEM   trust only the certificates in this file instead of Apple's roots\n",
            verifierOptions,
            {},
            run};
}

} // namespace ostrel::hubctl
