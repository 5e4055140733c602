#include "Platform/RunningApplications.h"

#include "Util/PathSafety.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace ostrel::RunningApplications {
namespace fs = std::filesystem;
namespace {

bool isProcessFolder(const fs::path& entry) {
    const std::string name = entry.filename().string();
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c); });
}

// The kernel marks the executable of a process whose file was replaced or removed.
std::string withoutDeletedMark(std::string path) {
    constexpr std::string_view mark = " (deleted)";
    if (path.ends_with(mark))
        path.resize(path.size() - mark.size());
    return path;
}

} // namespace

std::vector<pid_t> processesInside(const fs::path& bundle) {
    std::error_code error;
    const fs::path root = fs::weakly_canonical(bundle, error);
    if (error)
        return {};
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        if (!isProcessFolder(entry.path()))
            continue;
        std::error_code linkError;
        const fs::path executable = fs::read_symlink(entry.path() / "exe", linkError);
        if (linkError)
            continue;
        if (PathSafety::isContained(withoutDeletedMark(executable.string()), root))
            found.push_back(static_cast<pid_t>(std::stol(entry.path().filename().string())));
    }
    return found;
}

bool isRunning(const fs::path& bundle) {
    return !processesInside(bundle).empty();
}

} // namespace ostrel::RunningApplications
