#include "StallGate.h"

namespace ostrel::demo {

void StallGate::hold(std::chrono::seconds limit) {
    std::unique_lock guard(lock_);
    const uint64_t heldAt = releases_;
    changed_.wait_for(guard, limit, [&] { return closed_ || releases_ != heldAt; });
}

void StallGate::release() {
    {
        const std::lock_guard guard(lock_);
        ++releases_;
    }
    changed_.notify_all();
}

void StallGate::close() {
    {
        const std::lock_guard guard(lock_);
        closed_ = true;
    }
    changed_.notify_all();
}

} // namespace ostrel::demo
