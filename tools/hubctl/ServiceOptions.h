#pragma once

#include "CommandLine.h"
#include "Services/ServiceConfig.h"

namespace ostrel::hubctl {

// The service configuration: --config FILE, else the built-in production one. A file that
// cannot be used throws ServiceConfigError, whose detail goes to the log.
ServiceConfig serviceConfig(const CommandLine& line);

} // namespace ostrel::hubctl
