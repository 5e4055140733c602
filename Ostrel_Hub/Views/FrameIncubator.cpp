#include "FrameIncubator.h"

#include <QTimerEvent>

namespace ostrel::hub {

FrameIncubator::FrameIncubator(QObject* parent) : QObject(parent) {}

void FrameIncubator::incubatingObjectCountChanged(int count) {
    if (count == 0)
        timer_.stop();
    else if (!timer_.isActive())
        timer_.start(0, this);
}

// After each slice the event loop is left to itself for as long again: a frame that falls due
// meanwhile is drawn at once instead of waiting behind the next slice.
void FrameIncubator::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    incubateFor(static_cast<int>(slice.count()));
    if (incubatingObjectCount() == 0)
        timer_.stop();
    else
        timer_.start(static_cast<int>(slice.count()), this);
}

} // namespace ostrel::hub
