#include "Install/InstallTool.h"

#include "Install/InstallError.h"
#include "Util/Log.h"

namespace ostrel::InstallTool {

Subprocess::Result check(const std::string& tool, const std::vector<std::string>& arguments, double timeoutSeconds,
                         std::stop_token stop) {
    try {
        return Subprocess::check(tool, arguments, timeoutSeconds, std::move(stop));
    } catch (const Subprocess::ToolFailed& failure) {
        Log::error(Log::Category::install, failure.what());
        throw InstallError::toolFailed(failure.tool(), failure.detail());
    }
}

} // namespace ostrel::InstallTool
