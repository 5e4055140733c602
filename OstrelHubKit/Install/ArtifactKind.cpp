#include "Install/ArtifactKind.h"

#include "Util/UniqueFd.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {
namespace {

using Magic = std::array<char, 4>;

[[noreturn]] void throwFileError(const char* what, const std::filesystem::path& file) {
    throw std::filesystem::filesystem_error(what, file, std::error_code(errno, std::generic_category()));
}

// Reads four bytes at `offset`; false when the file ends before them.
bool readMagic(int fd, off_t offset, Magic& magic, const std::filesystem::path& file) {
    ssize_t n;
    do {
        n = ::pread(fd, magic.data(), magic.size(), offset);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        throwFileError("could not read", file);
    return n == static_cast<ssize_t>(magic.size());
}

bool equals(const Magic& magic, const char* expected) {
    return std::memcmp(magic.data(), expected, magic.size()) == 0;
}

} // namespace

std::string_view rawValue(ArtifactKind kind) {
    switch (kind) {
    case ArtifactKind::pkg:
        return "pkg";
    case ArtifactKind::zip:
        return "zip";
    case ArtifactKind::dmg:
        return "dmg";
    }
    return {};
}

std::optional<ArtifactKind> sniffArtifactKind(const std::filesystem::path& file) {
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        throwFileError("could not open", file);
    Magic magic{};
    if (readMagic(fd.get(), 0, magic, file)) {
        if (equals(magic, "xar!"))
            return ArtifactKind::pkg;
        if (equals(magic, "PK\x03\x04"))
            return ArtifactKind::zip;
    }
    const off_t size = ::lseek(fd.get(), 0, SEEK_END);
    if (size < 0)
        throwFileError("could not measure", file);
    if (size < 512 || !readMagic(fd.get(), size - 512, magic, file))
        return std::nullopt;
    return equals(magic, "koly") ? std::optional(ArtifactKind::dmg) : std::nullopt;
}

} // namespace ostrel
