#pragma once

#include "CommandLine.h"

#include <filesystem>

namespace ostrel::hubctl {

// The hub's data folder (ledger, lock): --data, else the hub's own.
std::filesystem::path dataFolder(const CommandLine& line);

} // namespace ostrel::hubctl
