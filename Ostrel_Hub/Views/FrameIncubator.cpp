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

// A zero timer runs once per pass of the event loop, after the events already waiting: input,
// drawing and finished downloads all go first.
void FrameIncubator::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    incubateFor(static_cast<int>(slice.count()));
    if (incubatingObjectCount() == 0)
        timer_.stop();
}

} // namespace ostrel::hub
