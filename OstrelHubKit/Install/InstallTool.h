#pragma once

#include "Util/Subprocess.h"

#include <stop_token>
#include <string>
#include <vector>

namespace ostrel::InstallTool {

// Subprocess::check for the install engine: a tool that fails or runs past
// its limit becomes InstallError::toolFailed, the detail going to the log.
Subprocess::Result check(const std::string& tool, const std::vector<std::string>& arguments, double timeoutSeconds,
                         std::stop_token stop = {});

} // namespace ostrel::InstallTool
