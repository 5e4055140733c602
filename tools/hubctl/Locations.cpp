#include "Locations.h"

#include "Install/AppDirectories.h"

namespace ostrel::hubctl {

std::filesystem::path dataFolder(const CommandLine& line) {
    if (const auto data = line.value("data"))
        return AppDirectories::owned(*data);
    return AppDirectories::support();
}

} // namespace ostrel::hubctl
