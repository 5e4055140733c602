#include "Install/AppDirectories.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include <sys/stat.h>

namespace ostrel::AppDirectories {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void throwFileError(const char* what, const fs::path& folder) {
    throw fs::filesystem_error(what, folder, std::error_code(errno, std::generic_category()));
}

fs::path homeFolder() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        throw fs::filesystem_error("the home folder is unknown",
                                   std::make_error_code(std::errc::no_such_file_or_directory));
    return home;
}

// An XDG base folder: the variable when it holds an absolute path, else the default under the home folder.
fs::path baseFolder(const char* variable, const char* defaultUnderHome) {
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/')
        return value;
    return homeFolder() / defaultUnderHome;
}

fs::path cachesRoot() {
    return baseFolder("XDG_CACHE_HOME", ".cache") / "com.ostrel.hub";
}

} // namespace

fs::path owned(const fs::path& folder) {
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

fs::path support() {
    return owned(baseFolder("XDG_DATA_HOME", ".local/share") / "Ostrel Hub");
}

fs::path work() {
    return cache("work");
}

fs::path cache(const std::string& name) {
    return owned(cachesRoot() / name);
}

} // namespace ostrel::AppDirectories
