#include "Command.h"
#include "Platform/LaunchAgent.h"
#include "Util/Error.h"

#include <filesystem>

#include <unistd.h>

namespace ostrel::hubctl {
namespace {

namespace fs = std::filesystem;

// A background pass downloads and installs every update; it may take long, but not forever.
constexpr double passTimeoutSeconds = 3 * 60 * 60;

class NotInstalled : public Error {
public:
    explicit NotInstalled(const fs::path& program)
        : Error("Ostrel Hub is not installed at " + program.string() +
                ", so there is nothing to run in the background.") {}
};

// The installed hub, which the timer starts; only ever the one in the install prefix.
fs::path installedHub() {
    return OSTREL_INSTALLED_HUB;
}

LaunchAgent agent() {
    return LaunchAgent({.executable = installedHub()});
}

void requireProgram(const fs::path& program) {
    if (::access(program.c_str(), X_OK) != 0)
        throw NotInstalled(program);
}

int status(const CommandLine&, Output io) {
    switch (agent().status()) {
    case LaunchAgent::Status::enabled:
        io.out << "Background updates are on: a systemd user timer starts " << installedHub().string()
               << " --background-update after login and every four hours.\n";
        break;
    case LaunchAgent::Status::notRegistered:
        io.out << "Background updates are not registered.\n";
        break;
    case LaunchAgent::Status::notFound:
        io.out << "Background updates are not available: this system has no systemctl to run them.\n";
        break;
    }
    io.out << "Units: " << (LaunchAgent::unitFolder() / LaunchAgent::timerName).string() << "\n";
    return 0;
}

int enable(const CommandLine&, Output io) {
    requireProgram(installedHub());
    auto timer = agent();
    timer.enable();
    io.out << "Background updates are on.\n";
    if (!timer.managerRunning())
        io.out << "No systemd user manager runs for this login; the timer starts at the next login.\n";
    return 0;
}

int disable(const CommandLine&, Output io) {
    agent().disable();
    io.out << "Background updates are off. Ostrel Hub registers them again at its next start unless\n"
              "\"Update in the background while Ostrel Hub is closed\" is off in its Settings.\n";
    return 0;
}

// The same pass the timer starts, in this terminal's session: the hub's own program, not a copy
// of its sequence, so what runs here is exactly what runs while the hub is closed.
int runNow(const CommandLine& line, Output io) {
    const fs::path program = line.value("hub").value_or(installedHub().string());
    requireProgram(program);
    std::vector<std::string> arguments{std::string(LaunchAgent::argument)};
    for (const char* option : {"config", "data", "home", "team", "anchors"})
        if (const auto value = line.value(option)) {
            arguments.push_back(std::string("--") + option);
            arguments.push_back(*value);
        }
    const auto result = Subprocess::run(program, arguments, passTimeoutSeconds, {}, LaunchAgent::sessionEnvironment());
    io.err << result.standardError;
    io.out << "The background update ended with status " << result.status
           << ". What it did is in the log under com.ostrel.hub; a summary notification shows what changed.\n";
    return result.status == 0 ? 0 : 1;
}

int run(const CommandLine& line, Output io) {
    line.expectArguments(1, "status, enable, disable or run-now");
    const auto& action = line.arguments()[0];
    if (action == "status")
        return status(line, io);
    if (action == "enable")
        return enable(line, io);
    if (action == "disable")
        return disable(line, io);
    if (action == "run-now")
        return runNow(line, io);
    throw UsageError("Unknown action " + action + ": use status, enable, disable or run-now.");
}

} // namespace

Command backgroundCommand() {
    return {"background",
            "show, switch or run the background update of the installed hub",
            "ostrel-hubctl background status|enable|disable|run-now\n"
            "       [--hub PROGRAM] [--config FILE] [--data DIR] [--home DIR] [--team ID] [--anchors PEM]\n\n"
            "The background update runs the installed hub with --background-update from a systemd user\n"
            "timer (com.ostrel.hub.updater.timer) after login and every four hours.\n\n"
            "  status    whether the timer is registered\n"
            "  enable    write the units and enable the timer (the installed hub only)\n"
            "  disable   disable the timer and remove the units\n"
            "  run-now   run one background update now and wait for it; the options after the\n"
            "            action go to the hub (--hub: another hub program to run)\n",
            {"hub", "config", "data", "home", "team", "anchors"},
            {},
            run};
}

} // namespace ostrel::hubctl
