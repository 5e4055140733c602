#include "Command.h"
#include "Util/OpenSslPtr.h"
#include "Verify/CodeVerifier.h"
#include "Verify/Signature/BundleLayout.h"
#include "Verify/Signature/Certificate.h"
#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/MachOSignature.h"
#include "Verify/VerificationFailure.h"

#include <openssl/pem.h>

namespace ostrel::hubctl {
namespace {

namespace fs = std::filesystem;

// Every certificate of a PEM file; with --anchors they are the only roots trusted.
signature::TrustSettings anchorsFrom(const std::string& file) {
    BioPtr bio(BIO_new_file(file.c_str(), "r"));
    if (!bio)
        throw UsageError("cannot read the anchors file " + file);
    std::vector<signature::Certificate> roots;
    while (X509Ptr certificate{PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)})
        roots.push_back(signature::Certificate::retain(certificate.get()));
    if (roots.empty())
        throw UsageError("the anchors file " + file + " holds no certificate");
    return signature::TrustSettings{signature::TrustAnchors(std::move(roots))};
}

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
    SignaturePolicy policy = SignaturePolicy::ostrel();
    if (auto team = line.value("team"))
        policy.teamID = *team;
    signature::TrustSettings trust = signature::TrustSettings::apple();
    if (auto anchors = line.value("anchors"))
        trust = anchorsFrom(*anchors);
    CodeVerifier verifier(policy, trust);
    try {
        printCode(verifier.verify(line.arguments().front()), trust, io.out);
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
            {"team", "anchors"},
            {},
            run};
}

} // namespace ostrel::hubctl
