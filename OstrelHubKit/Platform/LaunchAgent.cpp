#include "Platform/LaunchAgent.h"

#include "Util/AtomicFile.h"
#include "Util/Log.h"
#include "Util/Text.h"
#include "Util/XdgFolders.h"

#include <cstdlib>

#include <unistd.h>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

// systemctl answers from its files or its manager within moments; a hung bus is not waited out.
constexpr double systemctlTimeoutSeconds = 30;

const char* const turnOnFailed =
    "Background updates could not be turned on. The log under com.ostrel.hub has the details.";
const char* const turnOffFailed =
    "Background updates could not be turned off. The log under com.ostrel.hub has the details.";

// The program as the first word of ExecStart: quoted for its spaces, with "%" written so that
// systemd does not read it as a specifier.
std::string unitArgument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '%')
            quoted += c;
        quoted += c;
    }
    return quoted + "\"";
}

// systemd refuses a program whose name holds quotes, backslashes, "$" or control characters.
bool nameableInUnit(const fs::path& executable) {
    if (!executable.is_absolute())
        return false;
    for (unsigned char c : executable.string())
        if (c < 0x20 || c == 0x7f || c == '"' || c == '\\' || c == '$')
            return false;
    return true;
}

void writeUnit(const fs::path& file, const std::string& text) {
    constexpr auto readable =
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
    AtomicFile::write(file, text, readable);
}

} // namespace

LaunchAgent::LaunchAgent(Options options) : options_(std::move(options)) {
    if (!nameableInUnit(options_.executable)) {
        Log::error(Log::Category::backgroundUpdate, "no agent for the program " + options_.executable.string());
        throw LaunchAgentError(turnOnFailed);
    }
}

fs::path LaunchAgent::unitFolder() {
    return XdgFolders::configHome() / "systemd" / "user";
}

std::string LaunchAgent::serviceUnit() const {
    return "[Unit]\n"
           "Description=Ostrel Hub background updates\n"
           "\n"
           "[Service]\n"
           "Type=oneshot\n"
           "ExecStart=" +
           unitArgument(options_.executable.string()) + " " + std::string(argument) +
           "\n"
           // Updates wait for whatever the user is doing.
           "Nice=10\n";
}

std::string LaunchAgent::timerUnit() const {
    return "[Unit]\n"
           "Description=Ostrel Hub background updates after login and every four hours\n"
           "\n"
           "[Timer]\n"
           "OnStartupSec=5min\n"
           "OnCalendar=*-*-* 00/4:00:00\n"
           "RandomizedDelaySec=30min\n"
           "Persistent=true\n"
           "Unit=" +
           std::string(serviceName) +
           "\n"
           "\n"
           "[Install]\n"
           "WantedBy=timers.target\n";
}

Subprocess::Environment LaunchAgent::sessionEnvironment() {
    Subprocess::Environment environment;
    for (const char* name : {"XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                             "XDG_STATE_HOME", "OSTREL_LOG"})
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0')
            environment[name] = value;
    environment["XDG_CONFIG_HOME"] = XdgFolders::configHome().string();
    return environment;
}

Subprocess::Result LaunchAgent::systemctl(const std::vector<std::string>& arguments) const {
    std::vector<std::string> all{"--user", "--no-ask-password"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    // systemctl reaches the user manager through the runtime folder; offered the session bus, it
    // would also ask that bus to start a manager where none runs.
    auto environment = sessionEnvironment();
    environment.erase("DBUS_SESSION_BUS_ADDRESS");
    return Subprocess::run(options_.systemctl, all, systemctlTimeoutSeconds, {}, environment);
}

void LaunchAgent::checked(const std::vector<std::string>& arguments, const std::string& sentence) const {
    std::string detail;
    try {
        const auto result = systemctl(arguments);
        if (result.status == 0)
            return;
        detail = std::string(Text::trimmedAscii(result.standardError));
    } catch (const Error& error) {
        detail = error.what();
    }
    Log::error(Log::Category::backgroundUpdate, "systemctl --user " + arguments.front() + ": " + detail);
    throw LaunchAgentError(sentence);
}

bool LaunchAgent::managerRunning() const {
    try {
        return systemctl({"show-environment"}).status == 0;
    } catch (const Error&) {
        return false;
    }
}

LaunchAgent::Status LaunchAgent::status() const {
    if (::access(options_.systemctl.c_str(), X_OK) != 0)
        return Status::notFound;
    std::error_code ignored;
    if (!fs::exists(unitFolder() / timerName, ignored))
        return Status::notRegistered;
    try {
        const auto answer = systemctl({"is-enabled", std::string(timerName)});
        return Text::trimmedAscii(answer.standardOutput) == "enabled" ? Status::enabled : Status::notRegistered;
    } catch (const Error& error) {
        Log::warning(Log::Category::backgroundUpdate, std::string("agent status unknown: ") + error.what());
        return Status::notFound;
    }
}

void LaunchAgent::enable() {
    try {
        fs::create_directories(unitFolder());
        writeUnit(unitFolder() / serviceName, serviceUnit());
        writeUnit(unitFolder() / timerName, timerUnit());
    } catch (const fs::filesystem_error& error) {
        Log::error(Log::Category::backgroundUpdate, std::string("agent units not written: ") + error.what());
        throw LaunchAgentError(turnOnFailed);
    }
    if (!managerRunning()) {
        checked({"enable", std::string(timerName)}, turnOnFailed);
        Log::info(Log::Category::backgroundUpdate, "agent enabled; no user manager runs, it starts at the next login");
        return;
    }
    checked({"daemon-reload"}, turnOnFailed);
    checked({"enable", "--now", std::string(timerName)}, turnOnFailed);
    Log::info(Log::Category::backgroundUpdate, "agent enabled and started");
}

void LaunchAgent::disable() {
    const bool running = managerRunning();
    std::error_code ignored;
    if (fs::exists(unitFolder() / timerName, ignored)) {
        if (running)
            checked({"disable", "--now", std::string(timerName)}, turnOffFailed);
        else
            checked({"disable", std::string(timerName)}, turnOffFailed);
    }
    try {
        AtomicFile::remove(unitFolder() / timerName);
        AtomicFile::remove(unitFolder() / serviceName);
    } catch (const fs::filesystem_error& error) {
        Log::error(Log::Category::backgroundUpdate, std::string("agent units not removed: ") + error.what());
        throw LaunchAgentError(turnOffFailed);
    }
    if (running)
        checked({"daemon-reload"}, turnOffFailed);
    Log::info(Log::Category::backgroundUpdate, "agent disabled and removed");
}

std::string_view rawValue(LaunchAgent::Status status) {
    switch (status) {
    case LaunchAgent::Status::enabled:
        return "enabled";
    case LaunchAgent::Status::notRegistered:
        return "notRegistered";
    case LaunchAgent::Status::notFound:
        return "notFound";
    }
    return "notFound";
}

} // namespace ostrel
