#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::hub {

// Measures the time from the kernel's start of this process to the first content on screen.
// Only the first report of a process counts; under --measure-launch it is printed as one line
// on standard output and the application quits.
class LaunchClock : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool reported READ reported NOTIFY reportedChanged)

public:
    // Times on the boot clock (CLOCK_BOOTTIME), the clock /proc counts process starts on.
    using Milliseconds = std::chrono::milliseconds;

    struct Options {
        Milliseconds processStart = LaunchClock::processStart();
        bool measure = false;
        std::function<Milliseconds()> now = &LaunchClock::bootClockNow;
        // Writes one line and flushes; standard output unless a test listens.
        std::function<void(const std::string&)> print = {};
        // Ends the application; QCoreApplication::quit once the event loop runs, unless given.
        std::function<void()> quit = {};
    };

    explicit LaunchClock(Options options, QObject* parent = nullptr);

    // Called when the first content appears, with "cache" when it came from the saved
    // catalogue and "network" otherwise.
    Q_INVOKABLE void firstContent(const QString& source);
    bool reported() const { return reported_; }

    static Milliseconds bootClockNow();
    // This process's start as the kernel records it; now when that cannot be read.
    static Milliseconds processStart();
    // The start time (field 22, in clock ticks since boot) of a /proc/<pid>/stat line.
    static std::optional<Milliseconds> startFromStat(std::string_view stat, long ticksPerSecond);

signals:
    void reportedChanged();
    // The first content appeared `milliseconds` after the process started.
    void firstContentShown(qint64 milliseconds, const QString& source);

private:
    Options options_;
    bool reported_ = false;
};

} // namespace ostrel::hub
