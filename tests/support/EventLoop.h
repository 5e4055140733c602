#pragma once

#include <QCoreApplication>
#include <QCoroTask>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace ostrel::test {

// Runs the event loop until `done` holds or `limit` passes; says whether it holds. The limit is
// a safety net for a broken build, not a measurement: tests assert on the state, not on time.
template <class Predicate>
bool runUntil(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// Lets queued events and timers that are already due run.
inline void settle(std::chrono::milliseconds span = std::chrono::milliseconds(20)) {
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `task` ends and gives its result or throws its exception. (QCoro's
// own waitFor never returns when the task throws.)
template <class T>
T await(QCoro::Task<T>&& task, std::chrono::milliseconds limit = std::chrono::seconds(120)) {
    std::exception_ptr failure;
    bool done = false;
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
    auto watch = [&]() -> QCoro::Task<void> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await std::move(task);
                value = true;
            } else {
                value = co_await std::move(task);
            }
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    };
    auto watching = watch();
    if (!runUntil([&] { return done; }, limit))
        throw std::runtime_error("the task did not end in time");
    if (failure)
        std::rethrow_exception(failure);
    if constexpr (!std::is_void_v<T>)
        return std::move(*value);
}

} // namespace ostrel::test
