#include "ServiceOptions.h"

#include "Util/Log.h"

namespace ostrel::hubctl {

ServiceConfig serviceConfig(const CommandLine& line) {
    const auto file = line.value("config");
    if (!file)
        return ServiceConfig::production();
    try {
        return ServiceConfig::load(*file);
    } catch (const ServiceConfigError& e) {
        Log::error(Log::Category::network, *file + ": " + e.detail());
        throw;
    }
}

} // namespace ostrel::hubctl
