#pragma once

#include "Util/Error.h"
#include "Util/Subprocess.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace ostrel {

// The per-user agent that starts the hub's background update while the hub is closed: a systemd
// user service that runs the hub with "--background-update", and a timer that starts it after
// login and every few hours. Both unit files live in the user's systemd folder and are switched
// with `systemctl --user`, which works on the files even when no user manager runs (a headless
// login); the running manager, when there is one, is told at once.
class LaunchAgent {
public:
    static constexpr std::string_view serviceName = "com.ostrel.hub.updater.service";
    static constexpr std::string_view timerName = "com.ostrel.hub.updater.timer";
    static constexpr std::string_view argument = "--background-update";

    // enabled: the timer is installed and enabled; notRegistered: it is not (no unit files, or
    // switched off); notFound: this system has no systemd to run an agent.
    enum class Status { enabled, notRegistered, notFound };

    struct Options {
        // The hub program the service starts; absolute.
        std::filesystem::path executable;
        std::string systemctl = "/usr/bin/systemctl";
    };

    // Throws LaunchAgentError when the executable is not an absolute path a unit file can name.
    explicit LaunchAgent(Options options);

    // $XDG_CONFIG_HOME/systemd/user, where systemctl --user looks for the user's own units.
    static std::filesystem::path unitFolder();
    const std::filesystem::path& executable() const { return options_.executable; }

    // The unit files' text.
    std::string serviceUnit() const;
    std::string timerUnit() const;

    // Blocks for the time systemctl takes; never throws.
    Status status() const;
    // Writes both units atomically, enables the timer and, when a user manager runs, reloads it
    // and starts the timer. Throws LaunchAgentError; the detail goes to the log.
    void enable();
    // Stops and disables the timer, then removes both units. Throws LaunchAgentError.
    void disable();

    // Whether a user manager answers; without one, the timer first runs at the next login.
    bool managerRunning() const;

    // What a tool needs of this process's environment to reach the user's session: the runtime
    // folder, the session bus and the XDG folders, as far as they are set.
    static Subprocess::Environment sessionEnvironment();

private:
    Subprocess::Result systemctl(const std::vector<std::string>& arguments) const;
    void checked(const std::vector<std::string>& arguments, const std::string& sentence) const;

    Options options_;
};

// "enabled", "notRegistered", "notFound".
std::string_view rawValue(LaunchAgent::Status status);

// Registering or removing the agent failed; what() is the sentence for the user.
class LaunchAgentError : public Error {
public:
    using Error::Error;
};

} // namespace ostrel
