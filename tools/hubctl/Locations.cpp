#include "Locations.h"

#include "Install/AppDirectories.h"

#include <cstdlib>

namespace ostrel::hubctl {

std::filesystem::path dataFolder(const CommandLine& line) {
    if (const auto data = line.value("data"))
        return AppDirectories::owned(*data);
    return AppDirectories::support();
}

std::filesystem::path homeFolder(const CommandLine& line) {
    if (const auto home = line.value("home"))
        return *home;
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        throw UsageError("The home folder is unknown; give it with --home.");
    return home;
}

std::filesystem::path applicationsFolder(const CommandLine& line) {
    if (const auto applications = line.value("applications"))
        return *applications;
    return homeFolder(line) / "Applications";
}

} // namespace ostrel::hubctl
