#include "Model/Worker.h"

namespace ostrel::hub {

QThreadPool& kitThreads() {
    // Two install jobs, four refresh loads and a burst of release-note fetches may all wait on
    // the network at once; none of them should queue behind another.
    static QThreadPool* pool = [] {
        static QThreadPool threads;
        threads.setMaxThreadCount(24);
        threads.setExpiryTimeout(30'000);
        return &threads;
    }();
    return *pool;
}

WorkerDrain::~WorkerDrain() {
    // Jobs have been told to stop by now; what is left are single requests bounded by their
    // time-outs, which the end of the process would otherwise wait for anyway.
    kitThreads().waitForDone();
    QThreadPool::globalInstance()->waitForDone();
}

} // namespace ostrel::hub
