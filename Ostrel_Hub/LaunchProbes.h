#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTimer>
#include <chrono>

class QQuickItem;

namespace ostrel::hub {

class AppModel;
class LaunchClock;

// Measurements for the launch benchmarks, started by the first content: the resident memory
// a while later, or the worst frame and the longest stall of the GUI thread while the Plug-ins
// grid scrolls and a product page opens. Each prints one line per figure, then quits.
class LaunchProbes : public QObject {
    Q_OBJECT

public:
    LaunchProbes(LaunchClock& clock, AppModel& model, QQmlApplicationEngine& engine, bool frames);

    static inline constexpr std::chrono::seconds memoryDelay{5};
    static inline constexpr int scrollFrames = 120;
    static inline constexpr int pageFrames = 60;

private:
    void measureMemory();
    void startScrolling();
    void onFrame();
    void onTick();
    void finishFrames();
    QQuickItem* largestFlickable() const;

    AppModel& model_;
    QQmlApplicationEngine& engine_;
    QPointer<QQuickWindow> window_;
    QPointer<QQuickItem> grid_;
    QElapsedTimer sinceFrame_;
    QElapsedTimer sinceTick_;
    QTimer ticker_;
    qint64 worstFrameMs_ = 0;
    qint64 longestBlockMs_ = 0;
    int frames_ = 0;
    bool measuring_ = false;
};

} // namespace ostrel::hub
