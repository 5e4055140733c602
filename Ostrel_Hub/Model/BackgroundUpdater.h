#pragma once

#include "Install/UpdateRunner.h"
#include "Model/ModelEnvironment.h"

#include <QCoroTask>
#include <QString>
#include <optional>

namespace ostrel::hub {

// The scheduled update while the hub is closed: one pass that checks it should run, takes the
// install lock, brings the installed products up to the store's releases through the update
// runner, logs each result, posts one summary notification and ends. No window, no app model.
namespace BackgroundUpdater {

// The session-bus name the running hub owns.
inline constexpr const char* applicationBusName = "com.ostrel.hub";

// Why a pass ended. The process ends successfully whatever the reason.
enum class Ending {
    autoUpdateOff,      // the user turned automatic updates off; nothing was touched
    applicationOpen,    // the hub is open and its own update loop is in charge
    lockHeld,           // an install is running, or the lock cannot be set up
    notSignedIn,        // no store session to download with
    foldersUnavailable, // the hub's data or work folder cannot be made
    ran,                // the update runner ran once
};

// The notification after a pass; nothing when nothing was updated and nothing failed.
struct Summary {
    QString title;
    QString body;
    bool operator==(const Summary&) const = default;
};
std::optional<Summary> summaryOf(const UpdateRunner::Outcome& outcome);

// One pass over the environment's services, folders, settings and session bus.
QCoro::Task<Ending> run(ModelEnvironment environment);

// Runs one pass on this thread's event loop (a QCoreApplication must exist) and gives the exit
// status: always 0, so that a scheduler never retries in a loop.
int runAndExit(ModelEnvironment environment);

} // namespace BackgroundUpdater
} // namespace ostrel::hub
