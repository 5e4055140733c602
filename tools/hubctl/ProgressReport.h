#pragma once

#include "Install/InstallStage.h"

#include <chrono>
#include <mutex>
#include <ostream>
#include <string>

namespace ostrel::hubctl {

// Shows an install's stages as they come. On a terminal one line is redrawn in place, with the
// bytes received, the rate and the time left while downloading; elsewhere (a log, a pipe) each
// stage is one plain line, written once.
class ProgressReport {
public:
    ProgressReport(std::ostream& out, bool terminal);

    // The stage callback to hand to the pipeline; it may be called from any thread.
    StageCallback callback();
    // Ends the redrawn line, so what follows starts on a line of its own.
    void finish();

    // Whether standard output is a terminal.
    static bool stdoutIsTerminal();

private:
    using Clock = std::chrono::steady_clock;

    void show(const InstallStage& stage);
    void redraw(const std::string& text);
    std::string downloadLine(const InstallStage& stage) const;

    std::ostream& out_;
    const bool terminal_;
    std::mutex lock_;
    InstallStage::Kind last_ = InstallStage::Kind::queued;
    Clock::time_point downloadStart_{};
    int64_t startBytes_ = 0;
    Clock::time_point lastDraw_{};
    bool lineOpen_ = false;
};

} // namespace ostrel::hubctl
