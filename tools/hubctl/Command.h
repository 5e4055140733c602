#pragma once

#include "CommandLine.h"

#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace ostrel::hubctl {

// Where results and diagnostics go: results to standard output, everything
// else to standard error, so scripts can read the one without the other.
struct Output {
    std::ostream& out;
    std::ostream& err;
};

// One command of ostrel-hubctl. `run` returns the exit status.
struct Command {
    std::string name;
    std::string summary;
    std::string usage;
    std::set<std::string> valued;
    std::set<std::string> flags;
    std::function<int(const CommandLine&, Output)> run;
};

const std::vector<Command>& commands();

// The commands, each defined beside what it uses.
Command backgroundCommand();
Command checkCommand();
Command extrasCommand();
Command installCommand();
Command ledgerCommand();
Command ownedCommand();
Command recoverCommand();
Command signInCommand();
Command signOutCommand();
Command storefrontCommand();
Command uninstallCommand();
Command updateCommand();
Command verifyCommand();
Command whoAmICommand();

} // namespace ostrel::hubctl
