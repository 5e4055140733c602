#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace ostrel::BigEndianBytes {

// Big-endian integers read from untrusted bytes; absent when the field would
// run past the end. Code-signing and container structures are all big-endian.
template <typename T>
std::optional<T> read(std::span<const uint8_t> bytes, uint64_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        return std::nullopt;
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value = static_cast<T>((value << 8) | bytes[offset + i]);
    return value;
}

inline std::optional<uint16_t> u16(std::span<const uint8_t> b, uint64_t at) {
    return read<uint16_t>(b, at);
}
inline std::optional<uint32_t> u32(std::span<const uint8_t> b, uint64_t at) {
    return read<uint32_t>(b, at);
}
inline std::optional<uint64_t> u64(std::span<const uint8_t> b, uint64_t at) {
    return read<uint64_t>(b, at);
}

// Whether [offset, offset+length) lies inside [0, limit), without overflow.
inline bool fits(uint64_t offset, uint64_t length, uint64_t limit) {
    return offset <= limit && length <= limit - offset;
}

} // namespace ostrel::BigEndianBytes
