#include "Verify/Signature/ByteReader.h"

#include "Verify/Signature/SignatureFailure.h"

#include <cstring>

namespace ostrel::signature {

ByteReader::ByteReader(std::span<const uint8_t> bytes, std::string what) : bytes_(bytes), what_(std::move(what)) {}

bool ByteReader::contains(uint64_t offset, uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
}

void ByteReader::fail(const std::string& problem) const {
    throw SignatureFailure::invalid(what_ + " " + problem);
}

std::span<const uint8_t> ByteReader::bytes(uint64_t offset, uint64_t length) const {
    if (!contains(offset, length))
        fail("is truncated");
    return bytes_.subspan(static_cast<size_t>(offset), static_cast<size_t>(length));
}

ByteReader ByteReader::sub(uint64_t offset, uint64_t length, std::string what) const {
    return ByteReader(bytes(offset, length), std::move(what));
}

uint8_t ByteReader::u8(uint64_t offset) const {
    return bytes(offset, 1)[0];
}

uint32_t ByteReader::be32(uint64_t offset) const {
    auto b = bytes(offset, 4);
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
}

uint64_t ByteReader::be64(uint64_t offset) const {
    return uint64_t(be32(offset)) << 32 | be32(offset + 4);
}

uint32_t ByteReader::le32(uint64_t offset) const {
    auto b = bytes(offset, 4);
    return uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | uint32_t(b[0]);
}

uint64_t ByteReader::le64(uint64_t offset) const {
    return uint64_t(le32(offset + 4)) << 32 | le32(offset);
}

std::string ByteReader::cString(uint64_t offset) const {
    auto rest = bytes(offset, size() - std::min<uint64_t>(offset, size()));
    const void* end = rest.empty() ? nullptr : std::memchr(rest.data(), 0, rest.size());
    if (end == nullptr)
        fail("has an unterminated string");
    return std::string(reinterpret_cast<const char*>(rest.data()), static_cast<const uint8_t*>(end) - rest.data());
}

void ByteWriter::be32(uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out_.push_back(static_cast<uint8_t>(value >> shift));
}

void ByteWriter::be64(uint64_t value) {
    be32(static_cast<uint32_t>(value >> 32));
    be32(static_cast<uint32_t>(value));
}

void ByteWriter::padTo(size_t alignment) {
    while (out_.size() % alignment != 0)
        out_.push_back(0);
}

void ByteWriter::patchBe32(size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out_.at(offset + i) = static_cast<uint8_t>(value >> (24 - 8 * i));
}

} // namespace ostrel::signature
