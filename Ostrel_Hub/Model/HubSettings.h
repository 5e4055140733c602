#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

namespace ostrel::hub {

// The user's lasting choices, kept in QSettings under the keys the app has always used.
// Every setter writes through at once.
class HubSettings {
public:
    // The user's own settings file.
    HubSettings();
    // A settings file of its own (tests, measurement runs).
    explicit HubSettings(const QString& file);

    QString currency() const;
    void setCurrency(const QString& code);
    QStringList wishlist() const;
    void setWishlist(const QStringList& ids);
    bool autoUpdate() const;
    void setAutoUpdate(bool on);
    bool betaWelcomeShown() const;
    void setBetaWelcomeShown(bool shown);
    // The user switched the background agent off; absent: false. Keeps a normal start from
    // registering the agent again.
    bool backgroundUpdatesTurnedOff() const;
    void setBackgroundUpdatesTurnedOff(bool off);

    // The self-updater's two choices; both on until the user turns them off.
    bool checksForHubUpdates() const;
    void setChecksForHubUpdates(bool on);
    bool installsHubUpdates() const;
    void setInstallsHubUpdates(bool on);

private:
    void write(const QString& key, const QVariant& value);
    std::unique_ptr<QSettings> settings_;
};

} // namespace ostrel::hub
