#pragma once

#include "Util/UniqueFd.h"

#include <csignal>
#include <stop_token>
#include <thread>

namespace ostrel::hubctl {

// Turns Ctrl-C into a stop request while it lives, so a download stops the way the app pauses
// it (keeping what it fetched) instead of the process dying mid-transfer. The signal handler
// only writes to a pipe; a watcher thread reads it and requests the stop. One at a time.
class InterruptStop {
public:
    InterruptStop();
    ~InterruptStop();
    InterruptStop(const InterruptStop&) = delete;
    InterruptStop& operator=(const InterruptStop&) = delete;

    std::stop_token token() const { return source_.get_token(); }
    bool interrupted() const { return source_.stop_requested(); }

    // The exit status of a command ended by Ctrl-C, as a shell reports it.
    static constexpr int exitStatus = 128 + SIGINT;

private:
    UniqueFd readEnd_;
    UniqueFd writeEnd_;
    struct sigaction previous_ {};
    std::stop_source source_;
    std::jthread watcher_;
};

} // namespace ostrel::hubctl
