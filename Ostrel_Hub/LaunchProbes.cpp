#include "LaunchProbes.h"

#include "Model/AppModel.h"
#include "Model/HubSection.h"
#include "Model/LaunchClock.h"

#include <QCoreApplication>
#include <QFile>
#include <QQuickItem>
#include <cstdio>

namespace ostrel::hub {
namespace {

constexpr int tickMs = 2;
constexpr qreal scrollStep = 24;

// VmRSS of /proc/self/status in kB; -1 when it cannot be read.
long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (auto line = status.readLine(4096); !line.isEmpty(); line = status.readLine(4096))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLong();
    return -1;
}

void printLine(const QByteArray& line) {
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

void collectFlickables(QQuickItem* item, QList<QQuickItem*>& found) {
    if (!item || !item->isVisible())
        return;
    if (item->inherits("QQuickFlickable"))
        found << item;
    for (auto* child : item->childItems())
        collectFlickables(child, found);
}

} // namespace

LaunchProbes::LaunchProbes(LaunchClock& clock, AppModel& model, QQmlApplicationEngine& engine, bool frames)
    : model_(model), engine_(engine) {
    connect(&clock, &LaunchClock::firstContentShown, this, [this, frames] {
        if (frames)
            startScrolling();
        else
            QTimer::singleShot(memoryDelay, this, &LaunchProbes::measureMemory);
    });
}

void LaunchProbes::measureMemory() {
    printLine("resident-memory-kb " + QByteArray::number(static_cast<qlonglong>(residentKilobytes())));
    QCoreApplication::quit();
}

void LaunchProbes::startScrolling() {
    if (!engine_.rootObjects().isEmpty())
        window_ = qobject_cast<QQuickWindow*>(engine_.rootObjects().constFirst());
    if (!window_) {
        QCoreApplication::exit(1);
        return;
    }
    model_.navigation()->setSelection(HubSection::plugIns);
    connect(window_, &QQuickWindow::frameSwapped, this, &LaunchProbes::onFrame);
    ticker_.setTimerType(Qt::PreciseTimer);
    ticker_.setInterval(tickMs);
    connect(&ticker_, &QTimer::timeout, this, &LaunchProbes::onTick);
    // One frame for the grid to load before the measured ones.
    QTimer::singleShot(0, this, [this] {
        grid_ = largestFlickable();
        measuring_ = true;
        sinceFrame_.start();
        sinceTick_.start();
        ticker_.start();
        window_->update();
    });
}

// Each frame scrolls the grid a step, then, past the scroll, the page of its first product opens.
void LaunchProbes::onFrame() {
    if (!measuring_)
        return;
    worstFrameMs_ = std::max(worstFrameMs_, sinceFrame_.restart());
    ++frames_;
    if (frames_ < scrollFrames) {
        if (grid_)
            grid_->setProperty("contentY", grid_->property("contentY").toReal() + scrollStep);
    } else if (frames_ == scrollFrames) {
        const auto plugIns = model_.products(ProductKind::plugIn);
        if (!plugIns.empty())
            model_.show(QString::fromStdString(plugIns.front()->id));
    } else if (frames_ >= scrollFrames + pageFrames) {
        finishFrames();
        return;
    }
    window_->update();
}

void LaunchProbes::onTick() {
    longestBlockMs_ = std::max(longestBlockMs_, sinceTick_.restart() - tickMs);
}

void LaunchProbes::finishFrames() {
    measuring_ = false;
    ticker_.stop();
    printLine("worst-frame-ms " + QByteArray::number(worstFrameMs_));
    printLine("longest-gui-block-ms " + QByteArray::number(longestBlockMs_));
    QCoreApplication::quit();
}

// The detail column's grid: the widest visible flickable (the sidebar's list is narrower).
QQuickItem* LaunchProbes::largestFlickable() const {
    QList<QQuickItem*> found;
    collectFlickables(window_->contentItem(), found);
    QQuickItem* largest = nullptr;
    for (auto* item : found)
        if (!largest || item->width() * item->height() > largest->width() * largest->height())
            largest = item;
    return largest;
}

} // namespace ostrel::hub
