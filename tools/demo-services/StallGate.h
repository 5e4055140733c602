#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace ostrel::demo {

// Where stalled downloads wait, holding their connection open without sending, until they are
// let go: through the control address, when the services stop, or after a time limit (so that
// a forgotten stall does not keep a server thread forever). Safe to use from several threads.
class StallGate {
public:
    // Waits until release() or close(), or until `limit` has passed.
    void hold(std::chrono::seconds limit);
    // Lets every download held now go on (to its end: the connection closes).
    void release();
    // Lets every held download go, and every later one pass at once: the services are stopping.
    void close();

private:
    std::mutex lock_;
    std::condition_variable changed_;
    uint64_t releases_ = 0; // guarded by lock_
    bool closed_ = false;   // guarded by lock_
};

} // namespace ostrel::demo
