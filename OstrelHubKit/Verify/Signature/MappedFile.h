#pragma once

#include "Util/UniqueFd.h"

#include <cstdint>
#include <filesystem>
#include <span>

namespace ostrel::signature {

// A regular file mapped read-only for its whole lifetime, so large code is
// hashed page by page without being read into memory. Opened without
// following a final symbolic link. Map only files the hub owns (its private
// copies in the work folder): another process truncating a mapped file
// would fault the reader.
class MappedFile {
public:
    // Throws SignatureFailure::invalid: "not found" when nothing is at the
    // path, "unreadable" when it cannot be opened, is not a regular file or
    // cannot be mapped.
    explicit MappedFile(const std::filesystem::path& path);
    // Maps a file already opened (and checked) by the caller.
    explicit MappedFile(const UniqueFd& fd);
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&&) = delete;
    ~MappedFile();

    std::span<const uint8_t> bytes() const { return {data_, size_}; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

} // namespace ostrel::signature
