#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ostrel::signature {

using Bytes = std::vector<uint8_t>;

// Bounds-checked reads from untrusted bytes. Every read outside the span
// throws SignatureFailure::invalid("<what> is truncated"), so a parser built on
// it cannot read past its input whatever the offsets in the data say. Offsets
// are 64-bit so that offset + length never wraps.
class ByteReader {
public:
    ByteReader(std::span<const uint8_t> bytes, std::string what);

    uint64_t size() const { return bytes_.size(); }
    std::span<const uint8_t> all() const { return bytes_; }
    const std::string& what() const { return what_; }

    std::span<const uint8_t> bytes(uint64_t offset, uint64_t length) const;
    ByteReader sub(uint64_t offset, uint64_t length, std::string what) const;
    uint8_t u8(uint64_t offset) const;
    uint32_t be32(uint64_t offset) const;
    uint64_t be64(uint64_t offset) const;
    uint32_t le32(uint64_t offset) const;
    uint64_t le64(uint64_t offset) const;
    // A NUL-terminated string starting at offset; the NUL must lie inside.
    std::string cString(uint64_t offset) const;

    bool contains(uint64_t offset, uint64_t length) const;
    [[noreturn]] void fail(const std::string& problem) const;

private:
    std::span<const uint8_t> bytes_;
    std::string what_;
};

// Appends big-endian values; used to build blobs (requirements, test material).
class ByteWriter {
public:
    void be32(uint32_t value);
    void be64(uint64_t value);
    void u8(uint8_t value) { out_.push_back(value); }
    void append(std::span<const uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
    void append(const std::string& text) { out_.insert(out_.end(), text.begin(), text.end()); }
    void padTo(size_t alignment);
    void patchBe32(size_t offset, uint32_t value);
    size_t size() const { return out_.size(); }
    const Bytes& bytes() const { return out_; }
    Bytes take() { return std::move(out_); }

private:
    Bytes out_;
};

} // namespace ostrel::signature
