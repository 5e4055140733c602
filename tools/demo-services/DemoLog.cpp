#include "DemoLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace ostrel::demo {

DemoLog standardErrorLog() {
    return [](const std::string& line) {
        static std::mutex lock;
        const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        std::tm local{};
        localtime_r(&now, &local);
        char stamp[16];
        std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
        const std::lock_guard guard(lock);
        std::fprintf(stderr, "%s %s\n", stamp, line.c_str());
    };
}

} // namespace ostrel::demo
