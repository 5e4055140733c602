#pragma once

#include "Util/UniqueFd.h"
#include "Verify/Signature/CodeDirectory.h"

#include <cstdint>
#include <filesystem>
#include <span>

namespace ostrel::signature {

// A regular file mapped read-only for its whole lifetime, for the structure
// of large code (headers, signatures) without reading it all into memory.
// Opened without following a final symbolic link. Map only files the hub
// owns (its private copies in the work folder): another process truncating a
// mapped file would fault the reader.
class MappedFile {
public:
    // Throws SignatureFailure::invalid: "not found" when nothing is at the
    // path, "unreadable" when it cannot be opened, is not a regular file or
    // cannot be mapped.
    explicit MappedFile(const std::filesystem::path& path);
    // Maps a file the caller opened (and checked).
    explicit MappedFile(UniqueFd fd);
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&&) = delete;
    ~MappedFile();

    std::span<const uint8_t> bytes() const { return {data_, size_}; }

    // Reads blocks of bytes() from the file into one reused buffer, for
    // hashing every page of large code: the kernel copies from its cache,
    // where touching the mapping would fault it in 4 KiB at a time and stall
    // on every page. Valid while this file lives; a file cut short since it
    // was mapped is refused as unreadable, never read past its end.
    BlockReader blockReader() const;

private:
    UniqueFd fd_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

} // namespace ostrel::signature
