#include "Model/FailureSentence.h"

#include "Util/Error.h"

#include <filesystem>

namespace ostrel::hub {

std::string failureSentence(std::exception_ptr failure, Log::Category category, const std::string& fallback) {
    try {
        std::rethrow_exception(failure);
    } catch (const Error& error) {
        return error.what();
    } catch (const std::filesystem::filesystem_error& error) {
        Log::error(category, error.what());
        return "A file could not be read or written.";
    } catch (const std::exception& error) {
        Log::error(category, error.what());
    } catch (...) {
        Log::error(category, "a failure that is not an exception");
    }
    return fallback;
}

} // namespace ostrel::hub
