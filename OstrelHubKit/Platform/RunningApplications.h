#pragma once

#include <filesystem>
#include <vector>

#include <sys/types.h>

namespace ostrel::RunningApplications {

// The processes whose executable lies inside the bundle, found in /proc.
// An app bundle is running exactly when one of its own programs is: that is
// what must not be replaced under it. Processes we may not inspect are skipped.
std::vector<pid_t> processesInside(const std::filesystem::path& bundle);

bool isRunning(const std::filesystem::path& bundle);

} // namespace ostrel::RunningApplications
