#pragma once

#include "Util/Error.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ostrel {

// The one way the Kit runs another program: an absolute path and its
// arguments, never a shell; no input; a fixed environment of four entries; a
// time limit; both output streams captured while the tool runs.
namespace Subprocess {

struct Result {
    int32_t status = 0;         // exit status, or the signal number for a tool ended by a signal
    std::string standardOutput; // raw bytes
    std::string standardError;  // UTF-8; invalid sequences replaced by U+FFFD
};

// The program could not be started at all (missing, not executable).
class LaunchError : public Error {
public:
    LaunchError(const std::string& tool, int errorNumber);
    int errorNumber() const { return errorNumber_; }

private:
    int errorNumber_;
};

// PATH, HOME, TMPDIR and LANG, and nothing else of the hub's environment.
const std::map<std::string, std::string>& environment();

// Runs the tool to its end and returns whatever its status. Throws
// LaunchError, or InstallError::toolFailed(name, "timed out") once the limit
// has passed (the tool and anything it started are killed and reaped).
Result run(const std::string& tool, const std::vector<std::string>& arguments, double timeoutSeconds);

// run(), then InstallError::toolFailed(name, trimmed stderr) for a non-zero status.
Result check(const std::string& tool, const std::vector<std::string>& arguments, double timeoutSeconds);

// The name used in errors: the last path component of the tool.
std::string toolName(const std::string& tool);

} // namespace Subprocess
} // namespace ostrel
