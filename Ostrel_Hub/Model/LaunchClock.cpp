#include "Model/LaunchClock.h"

#include "Util/Log.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <limits>
#include <sstream>

#include <unistd.h>

namespace ostrel::hub {
namespace {

// The stat line is short; a longer one is not the kernel's.
constexpr std::size_t maxStatLength = 4096;
// Field 22 is the 20th after the closing parenthesis of the command name (field 2).
constexpr int fieldsAfterName = 20;

void printToStandardOutput(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void quitApplication() {
    // Queued: the report may come from inside a frame being delivered.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

std::optional<std::string> readStat() {
    std::ifstream file("/proc/self/stat");
    if (!file)
        return std::nullopt;
    std::string line;
    std::getline(file, line);
    if (line.empty() || line.size() > maxStatLength)
        return std::nullopt;
    return line;
}

} // namespace

LaunchClock::LaunchClock(Options options, QObject* parent) : QObject(parent), options_(std::move(options)) {
    if (!options_.print)
        options_.print = printToStandardOutput;
    if (!options_.quit)
        options_.quit = quitApplication;
}

void LaunchClock::firstContent(const QString& source) {
    if (reported_)
        return;
    reported_ = true;
    emit reportedChanged();
    const auto elapsed = (options_.now() - options_.processStart).count();
    const auto text = source.toStdString();
    Log::write(Log::Level::debug, Log::Category::launch,
               "launch to first content: " + std::to_string(elapsed) + " ms (" + text + ")");
    emit firstContentShown(elapsed, source);
    if (!options_.measure)
        return;
    options_.print("launch-to-first-content-ms " + std::to_string(elapsed) + " " + text);
    options_.quit();
}

LaunchClock::Milliseconds LaunchClock::bootClockNow() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return std::chrono::duration_cast<Milliseconds>(std::chrono::seconds(now.tv_sec) +
                                                    std::chrono::nanoseconds(now.tv_nsec));
}

LaunchClock::Milliseconds LaunchClock::processStart() {
    const long ticks = sysconf(_SC_CLK_TCK);
    if (const auto stat = readStat(); stat && ticks > 0)
        if (auto start = startFromStat(*stat, ticks))
            return *start;
    Log::warning(Log::Category::launch, "the process start time cannot be read; measuring from now");
    return bootClockNow();
}

std::optional<LaunchClock::Milliseconds> LaunchClock::startFromStat(std::string_view stat, long ticksPerSecond) {
    // The command name may itself hold spaces and parentheses: the fields resume after the last ")".
    const auto close = stat.rfind(')');
    if (close == std::string_view::npos || ticksPerSecond <= 0)
        return std::nullopt;
    std::istringstream fields{std::string(stat.substr(close + 1))};
    std::string field;
    for (int n = 0; n < fieldsAfterName; ++n)
        if (!(fields >> field))
            return std::nullopt;
    unsigned long long ticks = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), ticks);
    if (error != std::errc() || end != field.data() + field.size() ||
        ticks > std::numeric_limits<unsigned long long>::max() / 1000)
        return std::nullopt;
    return Milliseconds(static_cast<long long>(ticks * 1000ULL / static_cast<unsigned long long>(ticksPerSecond)));
}

} // namespace ostrel::hub
