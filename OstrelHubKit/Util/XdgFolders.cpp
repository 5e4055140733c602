#include "Util/XdgFolders.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include <sys/stat.h>

namespace ostrel::XdgFolders {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void throwFileError(const char* what, const fs::path& folder) {
    throw fs::filesystem_error(what, folder, std::error_code(errno, std::generic_category()));
}

fs::path baseFolder(const char* variable, const char* defaultUnderHome) {
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/')
        return value;
    return home() / defaultUnderHome;
}

} // namespace

fs::path home() {
    const char* value = std::getenv("HOME");
    if (value == nullptr || *value == '\0')
        throw fs::filesystem_error("the home folder is unknown",
                                   std::make_error_code(std::errc::no_such_file_or_directory));
    return value;
}

fs::path dataHome() {
    return baseFolder("XDG_DATA_HOME", ".local/share");
}
fs::path cacheHome() {
    return baseFolder("XDG_CACHE_HOME", ".cache");
}
fs::path configHome() {
    return baseFolder("XDG_CONFIG_HOME", ".config");
}

fs::path makePrivate(const fs::path& folder) {
    fs::path built;
    for (const auto& part : folder) {
        built /= part;
        if (::mkdir(built.c_str(), 0700) != 0 && errno != EEXIST)
            throwFileError("could not create the folder", built);
    }
    if (!fs::is_directory(folder)) {
        errno = ENOTDIR;
        throwFileError("could not create the folder", folder);
    }
    if (::chmod(folder.c_str(), 0700) != 0)
        throwFileError("could not make the folder private", folder);
    return folder;
}

} // namespace ostrel::XdgFolders
