#pragma once

#include "Util/Error.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <stop_token>
#include <string>
#include <vector>

namespace ostrel {

// The one way the Kit runs another program: an absolute path and its
// arguments, never a shell; no input; a fixed environment of four entries; a
// time limit; both output streams captured while the tool runs, each up to a cap.
namespace Subprocess {

// Per stream: room for the listing of an archive with a few hundred thousand entries.
constexpr std::size_t maxOutputBytes = std::size_t{64} * 1024 * 1024;

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

// The tool ran past its limit, or (check) ended with a non-zero status.
// what() reads "<tool> failed: <detail>"; callers that speak of installs map
// it to their own error.
class ToolFailed : public Error {
public:
    ToolFailed(std::string tool, std::string detail);
    const std::string& tool() const { return tool_; }
    const std::string& detail() const { return detail_; }

private:
    std::string tool_;
    std::string detail_;
};

// PATH, HOME, TMPDIR and LANG, and nothing else of the hub's environment.
const std::map<std::string, std::string>& environment();

// Entries added to environment() for one tool, replacing any of the same name: a tool that
// must reach the user's session (the session bus, the runtime folder) is given exactly those.
using Environment = std::map<std::string, std::string>;

// Runs the tool to its end and returns whatever its status. Throws
// LaunchError, ToolFailed(name, "timed out") once the limit has passed,
// ToolFailed(name, "printed more than … bytes") once a stream passes its cap, or
// Cancelled once `stop` is requested; either way the tool and anything it
// started are killed and reaped. A tool also dies with the thread that
// started it, so a hub that is killed leaves no tool writing behind it.
Result run(const std::string& tool, const std::vector<std::string>& arguments, double timeoutSeconds,
           std::stop_token stop = {}, const Environment& extra = {});

// run(), then ToolFailed(name, trimmed stderr) for a non-zero status.
Result check(const std::string& tool, const std::vector<std::string>& arguments, double timeoutSeconds,
             std::stop_token stop = {}, const Environment& extra = {});

// The name used in errors: the last path component of the tool.
std::string toolName(const std::string& tool);

} // namespace Subprocess
} // namespace ostrel
