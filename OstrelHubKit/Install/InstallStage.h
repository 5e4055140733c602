#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ostrel {

// Where one install stands. The pipeline reports resolving, downloading,
// verifying, installing and installed; the job that owns the install sets
// queued, paused and failed.
struct InstallStage {
    enum class Kind { queued, resolving, downloading, paused, verifying, installing, installed, failed };

    Kind kind = Kind::queued;
    int64_t received = 0;  // downloading
    int64_t expected = 0;  // downloading
    std::string message{}; // failed

    static InstallStage downloading(int64_t received, int64_t expected) {
        return {Kind::downloading, received, expected, {}};
    }
    static InstallStage failed(std::string message) { return {Kind::failed, 0, 0, std::move(message)}; }

    // Work is under way: resolving, downloading, verifying or installing.
    bool isActive() const {
        return kind == Kind::resolving || kind == Kind::downloading || kind == Kind::verifying ||
               kind == Kind::installing;
    }
    bool operator==(const InstallStage&) const = default;
};

// Receives stage reports from whatever thread the install runs on.
using StageCallback = std::function<void(const InstallStage&)>;

} // namespace ostrel
