#include "Verify/Signature/MappedFile.h"

#include "Verify/Signature/SignatureFailure.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

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

// Fills `into` from `offset`, retrying short reads; false when the file ends first.
bool readFully(int fd, uint64_t offset, std::span<uint8_t> into) {
    for (size_t done = 0; done < into.size();) {
        ssize_t got = ::pread(fd, into.data() + done, into.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

} // namespace

MappedFile::MappedFile(const std::filesystem::path& path) : MappedFile(openForMapping(path)) {}

MappedFile::MappedFile(UniqueFd fd) : fd_(std::move(fd)) {
    struct stat info {};
    if (!fd_ || ::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw SignatureFailure::invalid("unreadable");
    size_ = static_cast<size_t>(info.st_size);
    if (size_ == 0)
        return;
    void* mapped = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_.get(), 0);
    if (mapped == MAP_FAILED)
        throw SignatureFailure::invalid("unreadable");
    data_ = static_cast<const uint8_t*>(mapped);
    // Code is read once, front to back.
    ::posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : fd_(std::move(other.fd_)), data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

MappedFile::~MappedFile() {
    if (data_ != nullptr)
        ::munmap(const_cast<uint8_t*>(data_), size_);
}

BlockReader MappedFile::blockReader() const {
    auto buffer = std::make_shared<std::vector<uint8_t>>();
    return [this, buffer](std::span<const uint8_t> block) -> std::span<const uint8_t> {
        auto start = reinterpret_cast<uintptr_t>(block.data()), base = reinterpret_cast<uintptr_t>(data_);
        if (start < base || start - base > size_ || block.size() > size_ - (start - base))
            throw SignatureFailure::invalid("unreadable"); // not a part of this file
        buffer->resize(std::max(buffer->size(), block.size()));
        std::span<uint8_t> into(buffer->data(), block.size());
        if (!readFully(fd_.get(), start - base, into))
            throw SignatureFailure::invalid("unreadable");
        return into;
    };
}

} // namespace ostrel::signature
