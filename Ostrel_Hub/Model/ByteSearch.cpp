#include "Model/ByteSearch.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

namespace ostrel::hub::ByteSearch {

namespace {

static_assert(std::endian::native == std::endian::little, "lanes are read from the low byte up");

// Sixteen bytes; the compiler maps operations on it to the machine's vector instructions.
using Block = unsigned char __attribute__((vector_size(16)));
using Flags = decltype(std::declval<Block>() == std::declval<Block>()); // 0xFF in each lane where a comparison held
constexpr size_t blockSize = sizeof(Block);

Block load(const char* bytes) {
    Block block;
    std::memcpy(&block, bytes, blockSize);
    return block;
}

Block filled(char byte) {
    Block block;
    for (size_t lane = 0; lane < blockSize; ++lane)
        block[lane] = static_cast<unsigned char>(byte);
    return block;
}

// The first of the flagged lanes (0xFF each) at which the whole token starts; npos for none.
size_t firstMatch(const char* start, Flags flags, std::string_view token) {
    uint64_t halves[2];
    std::memcpy(halves, &flags, sizeof halves);
    for (size_t half = 0; half < 2; ++half) {
        for (uint64_t bits = halves[half] & 0x8080'8080'8080'8080; bits != 0; bits &= bits - 1) {
            const size_t lane = half * 8 + static_cast<size_t>(std::countr_zero(bits)) / 8;
            if (std::memcmp(start + lane + 1, token.data() + 1, token.size() - 2) == 0)
                return lane;
        }
    }
    return std::string_view::npos;
}

} // namespace

size_t find(std::string_view text, std::string_view token, size_t from) {
    if (token.size() < 2 || from > text.size() || token.size() > text.size() - from)
        return text.find(token, from);
    const size_t last = token.size() - 1;
    const Block first = filled(token.front());
    const Block final = filled(token.back());
    size_t at = from;
    for (; at + blockSize + last <= text.size(); at += blockSize) {
        const Flags flags = (load(text.data() + at) == first) & (load(text.data() + at + last) == final);
        if (const size_t lane = firstMatch(text.data() + at, flags, token); lane != std::string_view::npos)
            return at + lane;
    }
    return text.find(token, at);
}

} // namespace ostrel::hub::ByteSearch
