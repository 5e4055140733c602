#include "VerifierOptions.h"

namespace ostrel::hubctl {

CodeVerifier verifierFor(const CommandLine& line) {
    SignaturePolicy policy = SignaturePolicy::ostrel();
    if (const auto team = line.value("team"))
        policy.teamID = *team;
    signature::TrustSettings trust = signature::TrustSettings::apple();
    if (const auto file = line.value("anchors")) {
        auto anchors = signature::TrustAnchors::fromPemFile(*file);
        if (!anchors)
            throw UsageError("The anchors file " + *file + " cannot be read or holds no certificate.");
        trust = signature::TrustSettings{.anchors = std::move(*anchors)};
    }
    return CodeVerifier(policy, trust);
}

} // namespace ostrel::hubctl
