#include "Model/UserMessage.h"

#include "Util/Error.h"
#include "Util/Log.h"

#include <filesystem>

namespace ostrel::hub {

QString userMessage(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const Error& error) {
        return QString::fromStdString(error.what());
    } catch (const std::filesystem::filesystem_error& error) {
        Log::error(Log::Category::install, error.what());
        return QStringLiteral("A file could not be read or written: %1.")
            .arg(QString::fromStdString(error.path1().string()));
    } catch (const std::exception& error) {
        Log::error(Log::Category::launch, error.what());
    } catch (...) {
        Log::error(Log::Category::launch, "a failure of unknown kind");
    }
    return QStringLiteral("Ostrel Hub could not finish that. The log under com.ostrel.hub has the details.");
}

} // namespace ostrel::hub
