#include "Command.h"
#include "VerifierOptions.h"
#include "Verify/CodeVerifier.h"
#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/MachOVerifier.h"
#include "Verify/VerificationFailure.h"

namespace ostrel::hubctl {
namespace {

// Everything printed comes from the one check: the file is never read again,
// so what is shown is what was verified.
void printCode(const VerifiedCode& code, std::ostream& out) {
    out << "path:        " << code.path << "\n"
        << "identifier:  " << code.identifier << "\n"
        << "team:        " << code.teamID << "\n"
        << "version:     " << code.version.value_or("-") << "\n"
        << "notarised:   " << (code.notarized ? "yes" : "no") << "\n";
    for (const VerifiedCode::Cdhash& cdhash : code.cdhashes) {
        out << "cdhash:      " << FileBytes::hex(cdhash.hash);
        if (!cdhash.architecture.empty())
            out << " (" << cdhash.architecture << ")";
        out << "\n";
    }
}

int run(const CommandLine& line, Output io) {
    line.expectArguments(1, "the bundle or Mach-O file to check");
    const CodeVerifier verifier = verifierFor(line);
    const std::filesystem::path code = line.arguments().front();
    try {
        printCode(verifier.verify(code), io.out);
        return 0;
    } catch (const VerificationFailure& refusal) {
        io.out << refusal.what() << "\n";
        return 1;
    } catch (const std::exception& error) {
        // The verifier turns its own errors into refusals; this is the last
        // guard, so that no internal exception ever reaches the user.
        io.out << signature::internalFailure(code, error).what() << "\n";
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
