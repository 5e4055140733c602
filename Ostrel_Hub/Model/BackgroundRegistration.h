#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <filesystem>
#include <string>

namespace ostrel::hub {

// The agent that runs the background update while the hub is closed, as the Settings switch
// "Update in the background while Ostrel Hub is closed" sees it: its status, switching it, and
// its registration at a normal start. The agent is only ever registered for the hub in its
// installed place, never for a copy run from a build folder. systemctl runs off the GUI thread.
class BackgroundRegistration : public QObject {
    Q_OBJECT
    // On exactly when the agent's status is "enabled".
    Q_PROPERTY(bool enabled READ enabled NOTIFY enabledChanged)
    // "enabled", "notRegistered" or "notFound" (no systemd to run an agent).
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    // False when this hub does not run from its installed place: switching on registers nothing.
    Q_PROPERTY(bool available READ available CONSTANT)
    // The sentence of the last failed switch; empty after a switch that worked.
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)

public:
    struct Options {
        // The running hub program.
        std::filesystem::path executable;
        // Where an installed hub's program lives (the install prefix's bin folder).
        std::filesystem::path installedFolder;
        // Empty: the user's own settings file.
        QString settingsFile;
        std::string systemctl = "/usr/bin/systemctl";
    };

    // This process's program and the prefix the hub was built to be installed to.
    static Options standard(const QString& settingsFile);

    // Reads the agent's status at once, in the background.
    explicit BackgroundRegistration(Options options, QObject* parent = nullptr);

    bool enabled() const { return status_ == QStringLiteral("enabled"); }
    const QString& status() const { return status_; }
    bool available() const { return available_; }
    const QString& error() const { return error_; }

    // The switch: remembers the choice and registers or removes the agent.
    Q_INVOKABLE void setEnabled(bool on);
    // Reads the agent's status again.
    Q_INVOKABLE void refresh();

    // The same as tasks, for callers that wait for the outcome.
    QCoro::Task<> switchTo(bool on);
    QCoro::Task<> reload();
    // At a normal start: registers the agent unless the user turned it off, the hub runs from
    // elsewhere than its installed place, or the agent already has another status.
    QCoro::Task<> registerByDefault();

signals:
    void enabledChanged();
    void statusChanged();
    void errorChanged();

private:
    void setStatus(const QString& status);
    void setError(const QString& error);

    const Options options_;
    const bool available_;
    QString status_ = QStringLiteral("notRegistered");
    QString error_;
};

} // namespace ostrel::hub
