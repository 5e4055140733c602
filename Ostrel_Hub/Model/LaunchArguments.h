#pragma once

#include "Model/ModelEnvironment.h"
#include "Util/Error.h"

#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>

namespace ostrel::hub {

// What the process was started with. Arguments it does not know are ignored, so that Qt's
// own (-platform, -style) and anything a desktop adds pass through harmlessly.
struct LaunchArguments {
    // The scheduled background update: no window, no app model.
    bool backgroundUpdate = false;
    // Start without the saved catalogue.
    bool cold = false;
    // Print the time to the first content, then quit.
    bool measureLaunch = false;
    // Benchmark probes: resident memory a while after the first content, and the worst frame
    // while the screens scroll and open a page.
    bool measureMemory = false;
    bool measureFrames = false;
    // "--snapshot" is present; the folder is the argument after it, when there is one.
    bool snapshot = false;
    std::optional<std::filesystem::path> snapshotFolder;
    // Prepared extras and reviews; only ever for a snapshot run.
    std::optional<std::filesystem::path> fixtures;
    // The target after the first "--open".
    std::optional<QString> openTarget;

    // Developer options, as ostrel-hubctl takes them: another service configuration, the team
    // and code-signing roots releases must lead to, another home for the plug-in folders, and
    // one folder for every file the hub keeps (data, caches, settings).
    std::optional<std::filesystem::path> config;
    std::optional<QString> team;
    std::optional<std::filesystem::path> anchors;
    std::optional<std::filesystem::path> home;
    std::optional<std::filesystem::path> data;

    // `arguments` without the program's own name.
    static LaunchArguments parse(const QStringList& arguments);

    // Measurement and snapshot runs never read or write the user's sessions.
    bool ephemeralSessions() const { return snapshot || measureLaunch || measureMemory || measureFrames; }

    // The app model's environment for these arguments. Throws LaunchArgumentError when a named
    // file cannot be used.
    ModelEnvironment environment() const;
};

// A launch argument names a file the hub cannot use; what() says which, as a sentence.
class LaunchArgumentError : public Error {
public:
    using Error::Error;
};

} // namespace ostrel::hub
