#pragma once

#include "CommandLine.h"

#include <filesystem>

namespace ostrel::hubctl {

// The hub's data folder (ledger, lock): --data, else the hub's own.
std::filesystem::path dataFolder(const CommandLine& line);
// Root of the plug-in folders: --home, else the user's home folder.
std::filesystem::path homeFolder(const CommandLine& line);
// Where apps go: --applications, else "Applications" in the home folder.
std::filesystem::path applicationsFolder(const CommandLine& line);

} // namespace ostrel::hubctl
