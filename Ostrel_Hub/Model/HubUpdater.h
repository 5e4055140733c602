#pragma once

#include "Install/HubSelfUpdate.h"
#include "Model/Banner.h"
#include "Model/HubSettings.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>

namespace ostrel {
struct ServiceConfig;
}

namespace ostrel::hub {

class BannerList;

// The hub's own updater: checks the signed update feed hourly while automatic checks are on,
// and installs a newer build (download, signature, swap of the installed folder, rollback when
// it does not start) when automatic installs are on or the user asked with "Check for
// Updates...". Outcomes go to the banner strip. Lives on the GUI thread; the work runs on the
// Kit's threads.
class HubUpdater : public QObject {
    Q_OBJECT
    // False while a check runs, and for a hub that does not run from an installed folder.
    Q_PROPERTY(bool canCheck READ canCheck NOTIFY canCheckChanged)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
    Q_PROPERTY(bool automaticallyDownloadsUpdates READ automaticallyDownloadsUpdates WRITE
                   setAutomaticallyDownloadsUpdates NOTIFY automaticallyDownloadsUpdatesChanged)

public:
    static constexpr std::chrono::milliseconds checkInterval = std::chrono::hours(1);

    struct Options {
        // None: the hub runs from a build folder, with nothing of its own to update.
        std::shared_ptr<const HubSelfUpdate> update;
        // Empty: the user's own settings file.
        QString settingsFile;
        std::chrono::milliseconds interval = checkInterval;
    };

    explicit HubUpdater(Options options, QObject* parent = nullptr);
    ~HubUpdater() override;
    HubUpdater(const HubUpdater&) = delete;
    HubUpdater& operator=(const HubUpdater&) = delete;

    // The install prefix `program` runs from ("<prefix>/bin/ostrel-hub" with a version marker
    // beside it), or none.
    static std::optional<std::filesystem::path> installedFolderOf(const std::filesystem::path& program);
    // The self-update of the running program under `config`, with the key the hub is built with;
    // none when it does not run from an installed folder.
    static std::shared_ptr<const HubSelfUpdate> forProgram(const std::filesystem::path& program,
                                                           const ServiceConfig& config);

    // Where outcomes are shown; none: the log only.
    void reportTo(BannerList* banners) { banners_ = banners; }

    bool canCheck() const { return update_ && !busy_; }
    bool automaticallyChecksForUpdates() const { return settings_.checksForHubUpdates(); }
    void setAutomaticallyChecksForUpdates(bool on);
    bool automaticallyDownloadsUpdates() const { return settings_.installsHubUpdates(); }
    void setAutomaticallyDownloadsUpdates(bool on);

    // "Check for Updates...": a check that reports every outcome and installs what it finds.
    Q_INVOKABLE void checkForUpdates();

    // Puts right what an interrupted update left, then, with automatic checks on, checks at once
    // and every interval after.
    QCoro::Task<> start();
    // One check; `userStarted` reports "up to date" and failures, and installs without asking.
    QCoro::Task<> check(bool userStarted);

signals:
    void canCheckChanged();
    void automaticallyChecksForUpdatesChanged();
    void automaticallyDownloadsUpdatesChanged();

private:
    QCoro::Task<> install(HubAppcast::Item item);
    void report(Banner::Tone tone, const QString& text) const;
    void setBusy(bool busy);
    void scheduleChecks();

    std::shared_ptr<const HubSelfUpdate> update_;
    HubSettings settings_;
    QPointer<BannerList> banners_;
    QTimer timer_;
    bool busy_ = false;
    std::stop_source stop_;
};

} // namespace ostrel::hub
