#include "Model/WorkInFlight.h"

namespace ostrel::hub {

WorkInFlight::Ticket::Ticket(std::shared_ptr<State> state) : state_(std::move(state)) {
    std::lock_guard hold(state_->lock);
    ++state_->count;
}

void WorkInFlight::Ticket::leave() {
    if (left_)
        return;
    left_ = true;
    {
        std::lock_guard hold(state_->lock);
        --state_->count;
    }
    state_->idle.notify_all();
}

std::shared_ptr<WorkInFlight::Ticket> WorkInFlight::enter() {
    return std::make_shared<Ticket>(state_);
}

void WorkInFlight::waitUntilIdle() {
    std::unique_lock hold(state_->lock);
    state_->idle.wait(hold, [&] { return state_->count == 0; });
}

} // namespace ostrel::hub
