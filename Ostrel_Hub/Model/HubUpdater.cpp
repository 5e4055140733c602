#include "Model/HubUpdater.h"

#include "Install/AppDirectories.h"
#include "Model/BannerList.h"
#include "Model/Worker.h"
#include "Services/ServiceConfig.h"
#include "Util/Log.h"

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;

QString hubVersionText(const std::string& version) {
    return QString::fromStdString(version);
}

// The sentence for a failure of the update: our own for refusals, one plain line for the rest.
QString sentenceFor(const std::exception& error) {
    if (dynamic_cast<const HubUpdateError*>(&error))
        return QString::fromUtf8(error.what());
    Log::error(Log::Category::install, std::string("self-update: ") + error.what());
    return QStringLiteral("Ostrel Hub could not update itself.");
}

} // namespace

HubUpdater::HubUpdater(Options options, QObject* parent)
    : QObject(parent), update_(std::move(options.update)),
      settings_(options.settingsFile.isEmpty() ? HubSettings() : HubSettings(options.settingsFile)) {
    timer_.setInterval(options.interval);
    connect(&timer_, &QTimer::timeout, this, [this] { check(false); });
}

HubUpdater::~HubUpdater() {
    stop_.request_stop();
}

std::optional<fs::path> HubUpdater::installedFolderOf(const fs::path& program) {
    const auto bin = program.parent_path();
    if (bin.filename() != "bin" || program.filename() != fs::path(HubFolderSwap::executable).filename())
        return std::nullopt;
    const auto prefix = bin.parent_path();
    if (prefix.empty() || !HubFolderSwap::isHubBuild(prefix))
        return std::nullopt;
    return prefix;
}

std::shared_ptr<const HubSelfUpdate> HubUpdater::forProgram(const fs::path& program, const ServiceConfig& config) {
    const auto installed = installedFolderOf(program);
    if (!installed)
        return nullptr;
    return std::make_shared<const HubSelfUpdate>(HubSelfUpdate::forConfig(
        config, HubSelfUpdate::builtInPublicKey(), *installed, AppDirectories::cache("hub-update")));
}

void HubUpdater::setAutomaticallyChecksForUpdates(bool on) {
    if (on == automaticallyChecksForUpdates())
        return;
    settings_.setChecksForHubUpdates(on);
    scheduleChecks();
    emit automaticallyChecksForUpdatesChanged();
}

void HubUpdater::setAutomaticallyDownloadsUpdates(bool on) {
    if (on == automaticallyDownloadsUpdates())
        return;
    settings_.setInstallsHubUpdates(on);
    emit automaticallyDownloadsUpdatesChanged();
}

void HubUpdater::scheduleChecks() {
    if (update_ && automaticallyChecksForUpdates())
        timer_.start();
    else
        timer_.stop();
}

void HubUpdater::checkForUpdates() {
    if (canCheck())
        check(true);
}

QCoro::Task<> HubUpdater::start() {
    if (!update_)
        co_return;
    QPointer self(this);
    setBusy(true);
    auto recovering = onWorker([update = update_, stop = stop_.get_token()] { return update->recover(stop); });
    try {
        co_await std::move(recovering);
    } catch (const std::exception& e) {
        Log::error(Log::Category::install, std::string("self-update: recovery failed: ") + e.what());
    }
    if (!self)
        co_return;
    setBusy(false);
    scheduleChecks();
    if (automaticallyChecksForUpdates())
        co_await check(false);
}

QCoro::Task<> HubUpdater::check(bool userStarted) {
    if (!canCheck())
        co_return;
    QPointer self(this);
    setBusy(true);
    std::optional<HubAppcast::Item> found;
    try {
        auto checking = onWorker([update = update_, stop = stop_.get_token()] {
            update->recover(stop);
            const auto installed = update->installedVersion();
            return update->check(installed.value_or(Version("0")), stop);
        });
        found = co_await std::move(checking);
    } catch (const Cancelled&) {
        if (self)
            setBusy(false);
        co_return;
    } catch (const std::exception& e) {
        if (!self)
            co_return;
        setBusy(false);
        Log::info(Log::Category::install, std::string("self-update: check failed: ") + e.what());
        if (userStarted)
            report(Banner::Tone::failure, sentenceFor(e));
        co_return;
    }
    if (!self)
        co_return;
    if (!found) {
        setBusy(false);
        if (userStarted)
            report(Banner::Tone::info, QStringLiteral("Ostrel Hub is up to date."));
        co_return;
    }
    if (!userStarted && !automaticallyDownloadsUpdates()) {
        setBusy(false);
        report(Banner::Tone::info,
               QStringLiteral("Ostrel Hub %1 is available. Choose Check for Updates... to install it.")
                   .arg(hubVersionText(found->version)));
        co_return;
    }
    co_await install(std::move(*found));
}

QCoro::Task<> HubUpdater::install(HubAppcast::Item item) {
    QPointer self(this);
    const auto version = hubVersionText(item.version);
    try {
        auto installing =
            onWorker([update = update_, item, stop = stop_.get_token()] { return update->install(item, stop); });
        const auto outcome = co_await std::move(installing);
        if (!self)
            co_return;
        if (outcome == HubFolderSwap::Outcome::installed)
            report(Banner::Tone::success,
                   QStringLiteral("Ostrel Hub %1 is installed. It opens the next time you start Ostrel Hub.")
                       .arg(version));
        else
            report(Banner::Tone::failure,
                   QStringLiteral("The new version of Ostrel Hub did not start, so the current version was kept."));
    } catch (const Cancelled&) {
    } catch (const std::exception& e) {
        if (self)
            report(Banner::Tone::failure, sentenceFor(e));
    }
    if (self)
        setBusy(false);
}

void HubUpdater::report(Banner::Tone tone, const QString& text) const {
    Log::info(Log::Category::install, "self-update: " + text.toStdString());
    if (banners_)
        banners_->flash(tone, text);
}

void HubUpdater::setBusy(bool busy) {
    if (busy == busy_)
        return;
    const bool could = canCheck();
    busy_ = busy;
    if (could != canCheck())
        emit canCheckChanged();
}

} // namespace ostrel::hub
