#include "Model/HubSettings.h"

namespace ostrel::hub {
namespace {
const QString currencyKey = QStringLiteral("currency");
const QString wishlistKey = QStringLiteral("wishlist");
const QString autoUpdateKey = QStringLiteral("autoUpdate");
const QString betaWelcomeKey = QStringLiteral("betaWelcomeShown");
// The self-updater's.
const QString hubUpdateChecksKey = QStringLiteral("hubUpdateChecks");
const QString hubUpdateInstallsKey = QStringLiteral("hubUpdateInstalls");
} // namespace

HubSettings::HubSettings()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ostrel"),
                                            QStringLiteral("Ostrel Hub"))) {}

HubSettings::HubSettings(const QString& file) : settings_(std::make_unique<QSettings>(file, QSettings::IniFormat)) {}

QString HubSettings::currency() const {
    return settings_->value(currencyKey, QStringLiteral("EUR")).toString();
}

void HubSettings::setCurrency(const QString& code) {
    write(currencyKey, code);
}

QStringList HubSettings::wishlist() const {
    return settings_->value(wishlistKey).toStringList();
}

void HubSettings::setWishlist(const QStringList& ids) {
    write(wishlistKey, ids);
}

bool HubSettings::autoUpdate() const {
    return settings_->value(autoUpdateKey, true).toBool();
}

void HubSettings::setAutoUpdate(bool on) {
    write(autoUpdateKey, on);
}

bool HubSettings::betaWelcomeShown() const {
    return settings_->value(betaWelcomeKey, false).toBool();
}

void HubSettings::setBetaWelcomeShown(bool shown) {
    write(betaWelcomeKey, shown);
}

bool HubSettings::backgroundUpdatesTurnedOff() const {
    return settings_->value(QStringLiteral("backgroundUpdatesTurnedOff"), false).toBool();
}

void HubSettings::setBackgroundUpdatesTurnedOff(bool off) {
    write(QStringLiteral("backgroundUpdatesTurnedOff"), off);
}

bool HubSettings::checksForHubUpdates() const {
    return settings_->value(hubUpdateChecksKey, true).toBool();
}

void HubSettings::setChecksForHubUpdates(bool on) {
    write(hubUpdateChecksKey, on);
}

bool HubSettings::installsHubUpdates() const {
    return settings_->value(hubUpdateInstallsKey, true).toBool();
}

void HubSettings::setInstallsHubUpdates(bool on) {
    write(hubUpdateInstallsKey, on);
}

void HubSettings::write(const QString& key, const QVariant& value) {
    settings_->setValue(key, value);
    // Written through at once, so a crash right after a choice keeps it.
    settings_->sync();
}

} // namespace ostrel::hub
