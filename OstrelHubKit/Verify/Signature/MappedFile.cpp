#include "Verify/Signature/MappedFile.h"

#include "Verify/Signature/SignatureFailure.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

namespace ostrel::signature {

namespace {

UniqueFd openForMapping(const std::filesystem::path& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd && errno == ENOENT)
        throw SignatureFailure::invalid("not found");
    return fd;
}

} // namespace

MappedFile::MappedFile(const std::filesystem::path& path) : MappedFile(openForMapping(path)) {}

MappedFile::MappedFile(const UniqueFd& fd) {
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw SignatureFailure::invalid("unreadable");
    size_ = static_cast<size_t>(info.st_size);
    if (size_ == 0)
        return;
    void* mapped = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd.get(), 0);
    if (mapped == MAP_FAILED)
        throw SignatureFailure::invalid("unreadable");
    data_ = static_cast<const uint8_t*>(mapped);
    // Code is hashed once, front to back: read ahead eagerly, keep nothing behind.
    ::madvise(mapped, size_, MADV_SEQUENTIAL);
    ::madvise(mapped, size_, MADV_WILLNEED);
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

MappedFile::~MappedFile() {
    if (data_ != nullptr)
        ::munmap(const_cast<uint8_t*>(data_), size_);
}

} // namespace ostrel::signature
