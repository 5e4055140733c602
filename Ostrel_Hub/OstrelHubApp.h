#pragma once

#include "Model/AppModel.h"
#include "Model/BackgroundRegistration.h"
#include "Model/Beta.h"
#include "Model/HubUpdater.h"
#include "Model/LaunchArguments.h"
#include "Model/LaunchClock.h"
#include "Views/Snapshotter.h"

#include <QCoroTask>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <memory>

namespace ostrel::hub {

class LaunchProbes;
class SingleInstance;

// The program: decides from the launch arguments whether this is the scheduled background
// update or the app, and for the app builds the one app model, the main window with its menus,
// and what the measurement and snapshot arguments ask for.
class OstrelHubApp {
public:
    // The whole process; the exit status.
    static int run(int argc, char** argv);

    // The scheduled update with no window, no app model and no QML engine: a core application
    // runs one background pass and ends successfully, so a scheduler never retries in a loop.
    static int runBackgroundUpdate(const LaunchArguments& arguments);

    // "--self-test": a new build swapped in by the self-updater confirms that it starts.
    static int runSelfTest(int argc, char** argv);

    OstrelHubApp(const LaunchArguments& arguments, ModelEnvironment environment);
    ~OstrelHubApp();
    OstrelHubApp(const OstrelHubApp&) = delete;
    OstrelHubApp& operator=(const OstrelHubApp&) = delete;

    // Opens the main window (not for a snapshot run) and starts the model; false when the
    // window cannot be made.
    bool launch();

private:
    bool openMainWindow();
    // A later launch's link or "--open" target opens here, and the window comes forward.
    void answerLaterLaunches(SingleInstance& instance);
    void bringWindowForward();
    QCoro::Task<> startModel();

    LaunchArguments arguments_;
    // Made before the model, from the environment the model then takes over; outcomes go to
    // the model's banners.
    std::unique_ptr<HubUpdater> updater_;
    std::unique_ptr<AppModel> model_;
    LaunchClock clock_;
    Beta beta_;
    // The background agent for the Settings switch; registered at a normal start.
    BackgroundRegistration background_;
    // After the model: the screens go before it does.
    QQmlApplicationEngine engine_;
    std::unique_ptr<Snapshotter> snapshotter_;
    std::unique_ptr<LaunchProbes> probes_;
    // The product page, compiled ahead once the store shows.
    std::unique_ptr<QQmlComponent> pageAhead_;
};

} // namespace ostrel::hub
