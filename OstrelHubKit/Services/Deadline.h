#pragma once

#include <chrono>
#include <functional>
#include <string_view>

namespace ostrel {

// The end of the time one whole client operation may take, across every request it makes: the
// pages of a list, or a request, the session renewal after its 401 and the retry. Time is read
// from a clock the client is given, so tests can move it at will.
class Deadline {
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    // `budget` from the present moment of `now`.
    Deadline(std::chrono::milliseconds budget, Now now);

    // What is left, never below zero.
    std::chrono::milliseconds remaining() const;
    // The time limit for the next request to `host`: `longest`, or less when less is left.
    // Throws TransportError (timed out) when nothing is left, so nothing more is sent.
    std::chrono::milliseconds nextRequest(std::chrono::milliseconds longest, std::string_view host) const;

private:
    Now now_;
    Clock::time_point end_;
};

// How long a service client lets one request and one whole operation take, and its clock.
struct OperationTiming {
    std::chrono::milliseconds request = std::chrono::seconds(60);
    std::chrono::milliseconds operation = std::chrono::seconds(120);
    Deadline::Now now = Deadline::Clock::now;

    Deadline start() const { return Deadline(operation, now); }
};

} // namespace ostrel
