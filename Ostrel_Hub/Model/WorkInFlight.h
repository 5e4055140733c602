#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

namespace ostrel::hub {

// Counts the blocking calls an owner has handed to the Kit's threads that still use what the
// owner lends them (a pipeline, a ledger), so that the owner can wait for them before it goes.
class WorkInFlight {
    struct State {
        std::mutex lock;
        std::condition_variable idle;
        int count = 0;
    };

public:
    // Held by one call from the moment it is handed over; it leaves at the latest when the last
    // copy goes, so a call that never ran is not waited for forever.
    class Ticket {
    public:
        explicit Ticket(std::shared_ptr<State> state);
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;
        ~Ticket() { leave(); }
        void leave();

    private:
        std::shared_ptr<State> state_;
        bool left_ = false; // only the one call that holds the ticket touches it
    };

    std::shared_ptr<Ticket> enter();
    // Blocks until every ticket has left.
    void waitUntilIdle();

private:
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace ostrel::hub
