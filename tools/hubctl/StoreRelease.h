#pragma once

#include "Command.h"

namespace ostrel::hubctl {

// `install PRODUCT-ID`: the store's current release under the install lock, with progress;
// Ctrl-C pauses the download, and the same command resumes it.
int installFromStore(const CommandLine& line, Output io);
// `check PRODUCT-ID`: every check of an install on the store's release; nothing placed.
int checkFromStore(const CommandLine& line, Output io);

} // namespace ostrel::hubctl
