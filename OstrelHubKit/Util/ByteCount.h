#pragma once

#include <cstdint>
#include <string>

namespace ostrel {

// A byte count as people read file sizes: decimal units (1 KB = 1000 bytes),
// "N bytes" below a kilobyte ("1 byte", and 0 as "Zero KB"), KB without
// fraction digits, MB with at most one, GB and above with at most two,
// trailing zeros dropped: 5,120,000,000 reads "5.12 GB".
std::string formatFileByteCount(int64_t bytes);

} // namespace ostrel
