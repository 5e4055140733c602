#include "Util/FileIdentity.h"

#include <sys/stat.h>

namespace ostrel {

std::optional<FileIdentity> FileIdentity::of(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

bool holds(const std::filesystem::path& path, const FileIdentity& identity) {
    const auto there = FileIdentity::of(path);
    return identity.known() && there && *there == identity;
}

} // namespace ostrel
