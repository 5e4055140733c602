#include "Util/Log.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include <syslog.h>
#include <unistd.h>

namespace ostrel::Log {
namespace {

// journald listens on this socket and also owns /dev/log; without it (a
// container) syslog() would vanish, so standard error is used. OSTREL_LOG=stderr
// keeps a test run or a terminal session out of the journal.
bool journalRunning() {
    static const bool running = [] {
        const char* choice = std::getenv("OSTREL_LOG");
        if (choice && std::string_view(choice) == "stderr")
            return false;
        return ::access("/run/systemd/journal/socket", F_OK) == 0;
    }();
    return running;
}

int syslogPriority(Level level) {
    switch (level) {
    case Level::debug:
        return LOG_DEBUG;
    case Level::info:
        return LOG_INFO;
    case Level::warning:
        return LOG_WARNING;
    case Level::error:
        return LOG_ERR;
    }
    return LOG_INFO;
}

std::string_view levelName(Level level) {
    switch (level) {
    case Level::debug:
        return "debug";
    case Level::info:
        return "info";
    case Level::warning:
        return "warning";
    case Level::error:
        return "error";
    }
    return "info";
}

// Keeps one line a line: a tool's output or a server's text may hold newlines
// or control bytes, and a runaway text must not flood the log.
std::string printable(std::string_view message) {
    constexpr size_t maximum = 4096;
    std::string line;
    line.reserve(std::min(message.size(), maximum));
    for (char c : message.substr(0, maximum)) {
        auto byte = static_cast<unsigned char>(c);
        line += (byte < 0x20 || byte == 0x7f) ? ' ' : c;
    }
    if (message.size() > maximum)
        line += "…";
    return line;
}

} // namespace

std::string_view categoryName(Category category) {
    switch (category) {
    case Category::launch:
        return "launch";
    case Category::backgroundUpdate:
        return "background-update";
    case Category::install:
        return "install";
    case Category::verify:
        return "verify";
    case Category::network:
        return "network";
    case Category::store:
        return "store";
    case Category::identity:
        return "identity";
    case Category::receiver:
        return "receiver";
    case Category::catalog:
        return "catalog";
    }
    return "hub";
}

void write(Level level, Category category, std::string_view message) {
    const std::string line = printable(message);
    const std::string_view name = categoryName(category);
    if (journalRunning()) {
        static std::once_flag opened;
        std::call_once(opened, [] { ::openlog("com.ostrel.hub", LOG_PID, LOG_USER); });
        ::syslog(syslogPriority(level), "[%.*s] %s", static_cast<int>(name.size()), name.data(), line.c_str());
        return;
    }
    std::fprintf(stderr, "com.ostrel.hub [%.*s] %.*s: %s\n", static_cast<int>(name.size()), name.data(),
                 static_cast<int>(levelName(level).size()), levelName(level).data(), line.c_str());
}

} // namespace ostrel::Log
