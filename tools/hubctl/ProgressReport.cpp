#include "ProgressReport.h"

#include <cstdio>
#include <iomanip>
#include <sstream>

#include <unistd.h>

namespace ostrel::hubctl {
namespace {

using Kind = InstallStage::Kind;
using namespace std::chrono_literals;

// The words of the app's Downloads screen.
std::string word(Kind kind) {
    switch (kind) {
    case Kind::queued:
        return "Waiting";
    case Kind::resolving:
        return "Requesting a download link";
    case Kind::downloading:
        return "Downloading";
    case Kind::paused:
        return "Paused";
    case Kind::verifying:
        return "Checking signatures";
    case Kind::installing:
        return "Installing";
    case Kind::installed:
        return "Done";
    case Kind::failed:
        break;
    }
    return "Failed";
}

std::string bytes(double count) {
    const char* units[] = {"B", "KB", "MB", "GB"};
    int unit = 0;
    while (count >= 1000 && unit < 3) {
        count /= 1000;
        ++unit;
    }
    std::ostringstream text;
    text << std::fixed << std::setprecision(unit == 0 ? 0 : 1) << count << " " << units[unit];
    return text.str();
}

std::string duration(int64_t seconds) {
    std::ostringstream text;
    text << seconds / 60 << ":" << std::setw(2) << std::setfill('0') << seconds % 60;
    return text.str();
}

} // namespace

ProgressReport::ProgressReport(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

bool ProgressReport::stdoutIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

StageCallback ProgressReport::callback() {
    return [this](const InstallStage& stage) { show(stage); };
}

void ProgressReport::show(const InstallStage& stage) {
    const std::lock_guard guard(lock_);
    const bool changed = stage.kind != last_;
    if (changed && stage.kind == Kind::downloading) {
        downloadStart_ = Clock::now();
        startBytes_ = stage.received;
    }
    last_ = stage.kind;
    if (!terminal_) {
        if (changed)
            out_ << word(stage.kind) << std::endl;
        return;
    }
    // A redraw per network read would flood the terminal; a few a second read as smooth.
    const bool complete = stage.kind == Kind::downloading && stage.received == stage.expected;
    if (!changed && !complete && Clock::now() - lastDraw_ < 100ms)
        return;
    redraw(stage.kind == Kind::downloading ? downloadLine(stage) : word(stage.kind));
}

std::string ProgressReport::downloadLine(const InstallStage& stage) const {
    std::string line = "Downloading " + bytes(static_cast<double>(stage.received)) + " of " +
                       bytes(static_cast<double>(stage.expected));
    const double seconds = std::chrono::duration<double>(Clock::now() - downloadStart_).count();
    const double rate = seconds > 0.5 ? static_cast<double>(stage.received - startBytes_) / seconds : 0;
    if (rate > 0) {
        line += "  " + bytes(rate) + "/s";
        if (stage.expected > stage.received)
            line += "  " + duration(static_cast<int64_t>(static_cast<double>(stage.expected - stage.received) / rate)) +
                    " left";
    }
    return line;
}

void ProgressReport::redraw(const std::string& text) {
    out_ << "\r\033[K" << text << std::flush;
    lastDraw_ = Clock::now();
    lineOpen_ = true;
}

void ProgressReport::finish() {
    const std::lock_guard guard(lock_);
    if (lineOpen_)
        out_ << "\n" << std::flush;
    lineOpen_ = false;
}

} // namespace ostrel::hubctl
