#pragma once

#include <QCoroFuture>
#include <QCoroTask>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <type_traits>
#include <utility>
#include <variant>

namespace ostrel::hub {

// The threads that run blocking Kit calls for the model. A pool of its own: downloads hold
// their threads for minutes, and the global pool has only as many threads as cores.
QThreadPool& kitThreads();

// Held beside the application object, made after it: when it goes, it waits for the Kit calls
// and background saves still running and ends their threads. Left to the end of the process,
// those threads would end inside exit, while it destroys Qt's globals and unloads the libraries
// they use, in an order nobody chose. Now and then the heap broke there, as a worker's
// thread-local clean-up ran beside Qt's D-Bus thread closing its connection.
class WorkerDrain {
public:
    WorkerDrain() = default;
    WorkerDrain(const WorkerDrain&) = delete;
    WorkerDrain& operator=(const WorkerDrain&) = delete;
    ~WorkerDrain();
};

namespace detail {
template <class R>
using Outcome = std::variant<std::conditional_t<std::is_void_v<R>, std::monostate, R>, std::exception_ptr>;

template <class F>
auto capture(F& work) -> Outcome<std::invoke_result_t<F&>> {
    using R = std::invoke_result_t<F&>;
    try {
        if constexpr (std::is_void_v<R>) {
            work();
            return std::monostate{};
        } else {
            return work();
        }
    } catch (...) {
        return std::current_exception();
    }
}
} // namespace detail

// Runs a blocking Kit call on the Kit's threads and resumes the awaiting coroutine on the thread
// that awaited it (the GUI thread for the model), with the call's result or its exception.
// GCC 12 destroys the temporaries of a co_await expression twice: when the call's captures own
// memory, make the task first and await it after (`auto call = onWorker(...);
// co_await std::move(call);`).
template <class F>
auto onWorker(F work) -> QCoro::Task<std::invoke_result_t<F&>> {
    using R = std::invoke_result_t<F&>;
    // The future is made before it is awaited: GCC 12 destroys the temporaries of a co_await
    // expression twice, which frees whatever the call's captures own twice.
    auto future =
        QtConcurrent::run(&kitThreads(), [work = std::move(work)]() mutable { return detail::capture(work); });
    auto outcome = co_await future;
    if (auto* failure = std::get_if<std::exception_ptr>(&outcome))
        std::rethrow_exception(*failure);
    if constexpr (!std::is_void_v<R>)
        co_return std::move(std::get<0>(outcome));
}

} // namespace ostrel::hub
