#include "InterruptStop.h"

#include <atomic>
#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace ostrel::hubctl {
namespace {

constexpr char interruptByte = 'i';
constexpr char quitByte = 'q';

std::atomic<int> signalPipe{-1};

void onInterrupt(int) {
    const int saved = errno;
    if (const int fd = signalPipe.load(); fd >= 0) [[maybe_unused]]
        const auto written = ::write(fd, &interruptByte, 1);
    errno = saved;
}

void send(int fd, char byte) {
    while (::write(fd, &byte, 1) < 0 && errno == EINTR) {
    }
}

} // namespace

InterruptStop::InterruptStop() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe for Ctrl-C");
    readEnd_ = UniqueFd(ends[0]);
    writeEnd_ = UniqueFd(ends[1]);
    watcher_ = std::jthread([this, fd = readEnd_.get()] {
        char byte = 0;
        while (true) {
            const auto got = ::read(fd, &byte, 1);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0 || byte == quitByte)
                return;
            source_.request_stop();
        }
    });
    signalPipe.store(writeEnd_.get());
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &previous_);
}

InterruptStop::~InterruptStop() {
    ::sigaction(SIGINT, &previous_, nullptr);
    signalPipe.store(-1);
    send(writeEnd_.get(), quitByte);
    watcher_.join();
}

} // namespace ostrel::hubctl
