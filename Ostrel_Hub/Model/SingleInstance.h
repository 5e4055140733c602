#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <chrono>

namespace ostrel::hub {

// One hub per desktop session. The first launch owns the session-bus name and answers on it;
// a later launch (the launcher again, or a desktop opening an "ostrel-hub:" link) hands its
// request to that one and ends, so links land in the window the user already has. The name
// is also how the scheduled background update sees that the hub is open.
class SingleInstance : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.ostrel.hub")

public:
    static inline const QString serviceName = QStringLiteral("com.ostrel.hub");
    static inline const QString objectPath = QStringLiteral("/com/ostrel/hub");
    static inline const QString interfaceName = QStringLiteral("com.ostrel.hub");
    // A request is a link or an "--open" target; longer ones are refused, no real one comes near.
    static constexpr qsizetype maxRequestLength = 2048;
    // A hub that has just claimed the name may still be building its window.
    static constexpr std::chrono::milliseconds answerTime{20000};

    enum class Claim {
        owned, // this process is the hub of the session
        taken, // another process is: hand the request over
        noBus, // no session bus: run alone
    };

    explicit SingleInstance(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Answers on the bus first, then asks for the name, so a launch that finds the name taken
    // can always reach its owner.
    Claim claim();

    // Hands `request` to the hub that owns the name; an empty request only brings its window
    // forward. False, with the reason in the log, when no hub answered in `limit` or it refused.
    static bool handOver(QDBusConnection bus, const QString& request, std::chrono::milliseconds limit = answerTime);

public slots:
    // Called over the bus by a later launch. Open opens a link or "--open" target and brings
    // the window forward; Activate only brings it forward.
    Q_SCRIPTABLE void Open(const QString& request);
    Q_SCRIPTABLE void Activate();

signals:
    void openRequested(const QString& request);
    void activationRequested();

private:
    QDBusConnection bus_;
    bool exported_ = false;
    bool owned_ = false;
};

} // namespace ostrel::hub
