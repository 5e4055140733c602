#pragma once

#include <QBasicTimer>
#include <QObject>
#include <QQmlIncubationController>
#include <chrono>

namespace ostrel::hub {

// Builds asynchronously loaded screens a slice at a time between the window's other events.
// The window's own controller builds for two thirds of a frame at a time, which makes the frame
// that falls due meanwhile late; short slices with pauses as long leave room for drawing.
class FrameIncubator : public QObject, public QQmlIncubationController {
public:
    static constexpr std::chrono::milliseconds slice{4};

    explicit FrameIncubator(QObject* parent = nullptr);

protected:
    void incubatingObjectCountChanged(int count) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QBasicTimer timer_;
};

} // namespace ostrel::hub
