#include "Util/AtomicFile.h"

#include "Util/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel::AtomicFile {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void throwFileError(const char* what, const fs::path& file) {
    throw fs::filesystem_error(what, file, std::error_code(errno, std::generic_category()));
}

void writeAll(int fd, std::string_view bytes, const fs::path& file) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throwFileError("could not write", file);
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

// Removes the temporary file unless it was renamed into place.
struct TemporaryFile {
    fs::path path;
    bool kept = false;
    ~TemporaryFile() {
        if (!kept)
            ::unlink(path.c_str());
    }
};

} // namespace

void syncFolder(const fs::path& folder) {
    UniqueFd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd || ::fsync(fd.get()) != 0)
        throwFileError("could not flush the folder", folder);
}

void write(const fs::path& file, std::string_view bytes, fs::perms permissions) {
    const auto mode = static_cast<mode_t>(permissions & fs::perms::mask);
    std::string pattern = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd)
        throwFileError("could not create a temporary file", file);
    TemporaryFile temporary{name.data()};
    if (::fchmod(fd.get(), mode) != 0)
        throwFileError("could not set permissions", temporary.path);
    writeAll(fd.get(), bytes, temporary.path);
    if (::fsync(fd.get()) != 0)
        throwFileError("could not flush", temporary.path);
    fd.reset();
    if (::rename(temporary.path.c_str(), file.c_str()) != 0)
        throwFileError("could not replace", file);
    temporary.kept = true;
    if (::chmod(file.c_str(), mode) != 0)
        throwFileError("could not set permissions", file);
    syncFolder(file.parent_path());
}

void remove(const fs::path& file) {
    if (::unlink(file.c_str()) != 0) {
        if (errno == ENOENT)
            return;
        throwFileError("could not remove", file);
    }
    syncFolder(file.parent_path());
}

bool isTemporaryOf(const fs::path& candidate, const fs::path& file) {
    const std::string name = candidate.filename().string();
    const std::string prefix = "." + file.filename().string() + ".";
    return candidate.parent_path() == file.parent_path() && name.size() == prefix.size() + 6 &&
           name.starts_with(prefix);
}

std::optional<std::string> read(const fs::path& file, std::size_t maxBytes) {
    // Without blocking: a named pipe in a file's place would otherwise hold the reader until
    // someone writes to it. Regular files ignore the flag.
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return std::nullopt;
    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        // Asking for one byte past the cap tells a file that grew while it was read.
        const std::size_t want = std::min(sizeof buffer, maxBytes - content.size() + 1);
        const ssize_t n = ::read(fd.get(), buffer, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > maxBytes)
            return std::nullopt;
    }
}

} // namespace ostrel::AtomicFile
