#pragma once

#include "CommandLine.h"
#include "Verify/CodeVerifier.h"

namespace ostrel::hubctl {

// The checker a command uses: the built-in policy and Apple's roots, or the
// team of --team and only the certificates of --anchors (a PEM file) as roots.
CodeVerifier verifierFor(const CommandLine& line);

// Options every checking command takes.
inline const std::set<std::string> verifierOptions{"team", "anchors"};

} // namespace ostrel::hubctl
