#include "Verify/Signature/DiskImageTrailer.h"

#include "Verify/Signature/BigEndianBytes.h"
#include "Verify/Signature/SignatureDefect.h"

#include <algorithm>
#include <cstring>

namespace ostrel {

DiskImageTrailer DiskImageTrailer::parse(std::span<const uint8_t> bytes) {
    if (bytes.size() != size || std::memcmp(bytes.data(), "koly", 4) != 0)
        throw SignatureDefect("the disk image's trailer is missing or damaged");
    namespace be = BigEndianBytes;
    DiskImageTrailer t;
    t.version = *be::u32(bytes, 4);
    t.headerSize = *be::u32(bytes, 8);
    t.flags = *be::u32(bytes, 12);
    t.dataForkOffset = *be::u64(bytes, 24);
    t.dataForkLength = *be::u64(bytes, 32);
    t.xmlOffset = *be::u64(bytes, 216);
    t.xmlLength = *be::u64(bytes, 224);
    t.codeSignatureOffset = *be::u64(bytes, 296);
    t.codeSignatureLength = *be::u64(bytes, codeSignatureLengthAt);
    t.sectorCount = *be::u64(bytes, 492);
    std::copy(bytes.begin(), bytes.end(), t.raw.begin());
    if (t.version != 4 || t.headerSize != size)
        throw SignatureDefect("the disk image's trailer has an unknown version");
    return t;
}

std::array<uint8_t, DiskImageTrailer::size> DiskImageTrailer::withCodeSignatureLengthZeroed() const {
    auto copy = raw;
    std::fill_n(copy.begin() + codeSignatureLengthAt, 8, uint8_t{0});
    return copy;
}

} // namespace ostrel
