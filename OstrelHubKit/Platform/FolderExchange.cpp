#include "Platform/FolderExchange.h"

#include "Util/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include <fcntl.h>

namespace ostrel::FolderExchange {

void exchange(const std::filesystem::path& a, const std::filesystem::path& b) {
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) != 0)
        throw std::filesystem::filesystem_error("could not exchange", a, b,
                                                std::error_code(errno, std::generic_category()));
    AtomicFile::syncFolder(a.parent_path());
    if (b.parent_path() != a.parent_path())
        AtomicFile::syncFolder(b.parent_path());
}

} // namespace ostrel::FolderExchange
