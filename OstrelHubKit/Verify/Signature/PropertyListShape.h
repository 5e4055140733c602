#pragma once

#include <cstdint>
#include <span>

namespace ostrel::PropertyListShape {

// libplist reads nested arrays and dictionaries recursively, so a small file
// nested a million levels deep overflows the stack; and it reads a binary
// object again for every reference to it, so a few hundred bytes of shared
// references expand exponentially. These checks run first, without
// recursion: true when the list nests no deeper than `maxDepth` and (binary)
// expands to at most `maxExpandedObjects`; false also when it is too malformed to measure.
inline constexpr int maxDepth = 64;
inline constexpr uint64_t maxExpandedObjects = 1 << 20;

bool xmlWithinLimits(std::span<const uint8_t> bytes);
bool binaryWithinLimits(std::span<const uint8_t> bytes);

} // namespace ostrel::PropertyListShape
