#include "Verify/Signature/MachOFile.h"

#include "Verify/Signature/ByteReader.h"
#include "Verify/Signature/SignatureFailure.h"

#include <algorithm>
#include <set>
#include <utility>

namespace ostrel::signature {

namespace {

constexpr uint32_t machMagic32 = 0xFEEDFACE;
constexpr uint32_t machMagic64 = 0xFEEDFACF;
constexpr uint32_t fatMagic = 0xCAFEBABE;
constexpr uint32_t fatMagic64 = 0xCAFEBABF;
constexpr uint32_t lcSegment = 0x1;
constexpr uint32_t lcSegment64 = 0x19;
constexpr uint32_t lcCodeSignature = 0x1D;
constexpr uint32_t cpuTypeArm64 = 0x0100000C;
// More architectures than any real universal file carries; bounds the work.
constexpr uint32_t maxFatArchitectures = 100;
// 2^15: Apple's tools align slices to at most 16 KiB.
constexpr uint32_t maxFatAlignment = 15;
constexpr uint64_t pageAlignment = 0x4000;

[[noreturn]] void refuse(const std::string& detail) {
    throw SignatureFailure::invalid(detail);
}

struct Segment {
    std::string name;
    uint64_t fileOffset = 0;
    uint64_t fileSize = 0;
};

std::string fixedName(const ByteReader& reader, uint64_t offset) {
    auto bytes = reader.bytes(offset, 16);
    std::string name(reinterpret_cast<const char*>(bytes.data()), 16);
    return name.substr(0, name.find('\0'));
}

Segment readSegment(const ByteReader& command, bool is64) {
    std::string name = fixedName(command, 8);
    if (is64)
        return {name, command.le64(40), command.le64(48)};
    return {name, command.le32(32), command.le32(36)};
}

// The __TEXT,__info_plist section: a bare tool's Info.plist, sealed in
// special slot 1 like a bundle's.
void findInfoPlist(const ByteReader& command, bool is64, MachOSlice& slice) {
    uint64_t count = command.le32(is64 ? 64 : 48);
    uint64_t first = is64 ? 72 : 56;
    uint64_t size = is64 ? 80 : 68;
    for (uint64_t i = 0; i < count; ++i) {
        ByteReader section = command.sub(first + i * size, size, "a section header");
        if (fixedName(section, 0) != "__info_plist" || fixedName(section, 16) != "__TEXT")
            continue;
        uint64_t length = is64 ? section.le64(40) : section.le32(36);
        uint32_t offset = section.le32(is64 ? 48 : 40);
        slice.infoPlist = ByteReader(slice.bytes, "the embedded Info.plist").bytes(offset, length);
    }
}

// Reads the header and load commands of one architecture and applies the
// rules that make the signature the last word on the slice's bytes.
void readThin(MachOSlice& slice) {
    ByteReader reader(slice.bytes, "the Mach-O header");
    uint32_t magic = reader.le32(0);
    if (magic != machMagic32 && magic != machMagic64)
        refuse("the " + slice.architecture + " slice is not Mach-O code");
    bool is64 = magic == machMagic64;
    uint32_t cpuType = reader.le32(4);
    uint32_t cpuSubtype = reader.le32(8);
    slice.fileType = reader.le32(12);
    uint32_t commandCount = reader.le32(16);
    uint32_t commandsSize = reader.le32(20);
    uint64_t headerSize = is64 ? 32 : 28;
    if (slice.architecture.empty()) {
        slice.cpuType = cpuType;
        slice.cpuSubtype = cpuSubtype;
        slice.architecture = architectureName(cpuType, cpuSubtype);
    } else if (cpuType != slice.cpuType) {
        refuse("the " + slice.architecture + " slice holds code of another architecture");
    }
    ByteReader commands = reader.sub(headerSize, commandsSize, "the load commands");
    std::optional<Segment> linkEdit;
    uint64_t position = 0;
    for (uint32_t i = 0; i < commandCount; ++i) {
        uint32_t cmd = commands.le32(position);
        uint32_t cmdSize = commands.le32(position + 4);
        if (cmdSize < 8 || cmdSize % 4 != 0)
            commands.fail("are malformed");
        ByteReader command = commands.sub(position, cmdSize, "a load command");
        if (cmd == lcSegment64 || cmd == lcSegment) {
            Segment segment = readSegment(command, cmd == lcSegment64);
            if (segment.name == "__LINKEDIT")
                linkEdit = segment;
            if (segment.name == "__TEXT") {
                slice.textOffset = segment.fileOffset;
                slice.textSize = segment.fileSize;
                findInfoPlist(command, cmd == lcSegment64, slice);
            }
        } else if (cmd == lcCodeSignature) {
            // Two signature commands would let two readers see two different signatures.
            if (slice.signature)
                refuse("the " + slice.architecture + " slice has two signature commands");
            slice.signature = SignatureLocation{command.le32(8), command.le32(12)};
        }
        position += cmdSize;
    }
    if (!slice.signature)
        return;
    const SignatureLocation& sig = *slice.signature;
    // The signature must end the slice and sit inside a __LINKEDIT that ends
    // there too: bytes after it would be covered by nothing.
    if (uint64_t(sig.dataOffset) + sig.dataSize != slice.size)
        refuse("the " + slice.architecture + " slice has data after its signature");
    if (!linkEdit || linkEdit->fileOffset > sig.dataOffset || linkEdit->fileOffset > slice.size ||
        linkEdit->fileSize != slice.size - linkEdit->fileOffset)
        refuse("the signature of the " + slice.architecture + " slice is not at the end of its __LINKEDIT segment");
    if (headerSize + commandsSize > sig.dataOffset)
        refuse("the signature of the " + slice.architecture + " slice overlaps its header");
}

struct FatEntry {
    uint32_t cpuType, cpuSubtype;
    uint64_t offset, size;
    uint32_t align;
};

void requireZero(std::span<const uint8_t> gap) {
    if (std::any_of(gap.begin(), gap.end(), [](uint8_t b) { return b != 0; }))
        refuse("the universal file has data between its architectures");
}

// One entry of the universal header: 20 bytes, or 32 with 64-bit offsets
// and sizes (whose trailing reserved word must be zero).
FatEntry readFatEntry(const ByteReader& reader, uint64_t at, bool wide) {
    if (!wide)
        return {reader.be32(at), reader.be32(at + 4), reader.be32(at + 8), reader.be32(at + 12), reader.be32(at + 16)};
    if (reader.be32(at + 28) != 0)
        refuse("the universal header is malformed");
    return {reader.be32(at), reader.be32(at + 4), reader.be64(at + 8), reader.be64(at + 16), reader.be32(at + 24)};
}

std::vector<MachOSlice> readFat(std::span<const uint8_t> file) {
    ByteReader reader(file, "the universal header");
    bool wide = reader.be32(0) == fatMagic64;
    uint64_t entrySize = wide ? 32 : 20;
    uint32_t count = reader.be32(4);
    if (count == 0 || count > maxFatArchitectures)
        refuse("the universal header lists " + std::to_string(count) + " architectures");
    uint64_t headerEnd = 8 + uint64_t(count) * entrySize;
    std::vector<FatEntry> entries;
    for (uint32_t i = 0; i < count; ++i)
        entries.push_back(readFatEntry(reader, 8 + uint64_t(i) * entrySize, wide));
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.offset < b.offset; });
    // Apple's loader also reads one entry past the count when it is arm64;
    // such a hidden slice would run without being checked.
    if (reader.contains(headerEnd, entrySize) && headerEnd + entrySize <= entries.front().offset &&
        reader.be32(headerEnd) == cpuTypeArm64)
        refuse("the universal file has a hidden architecture");
    std::vector<MachOSlice> slices;
    std::set<std::pair<uint32_t, uint32_t>> seen;
    uint64_t previousEnd = headerEnd;
    for (const FatEntry& e : entries) {
        std::string name = architectureName(e.cpuType, e.cpuSubtype);
        if (e.align > maxFatAlignment || e.offset % (uint64_t(1) << e.align) != 0)
            refuse("the " + name + " slice is misaligned");
        if (e.offset < previousEnd)
            refuse("the " + name + " slice overlaps another part of the file");
        // Padding is only what alignment needs, and it must be zero. Tools
        // place slices on 16 KiB pages whatever alignment they record.
        if (e.offset - previousEnd >= std::max(uint64_t(1) << e.align, pageAlignment))
            refuse("the universal file has data between its architectures");
        requireZero(reader.bytes(previousEnd, e.offset - previousEnd));
        if (!seen.insert({e.cpuType, e.cpuSubtype & 0x00FFFFFF}).second)
            refuse("the universal file lists the " + name + " architecture twice");
        MachOSlice slice;
        slice.cpuType = e.cpuType;
        slice.cpuSubtype = e.cpuSubtype;
        slice.architecture = name;
        slice.offset = e.offset;
        slice.size = e.size;
        slice.bytes = reader.bytes(e.offset, e.size);
        slices.push_back(slice);
        previousEnd = e.offset + e.size;
    }
    if (previousEnd != file.size())
        refuse("the universal file has data after its last architecture");
    return slices;
}

} // namespace

bool isMachO(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4)
        return false;
    ByteReader reader(bytes, "the file");
    uint32_t be = reader.be32(0);
    uint32_t le = reader.le32(0);
    return be == fatMagic || be == fatMagic64 || le == machMagic32 || le == machMagic64;
}

std::vector<MachOSlice> parseMachO(std::span<const uint8_t> file) {
    if (!isMachO(file))
        refuse("not Mach-O code");
    ByteReader reader(file, "the file");
    uint32_t magic = reader.be32(0);
    std::vector<MachOSlice> slices;
    if (magic == fatMagic || magic == fatMagic64) {
        slices = readFat(file);
    } else {
        MachOSlice thin;
        thin.size = file.size();
        thin.bytes = file;
        slices.push_back(thin);
    }
    for (MachOSlice& slice : slices)
        readThin(slice);
    for (const MachOSlice& slice : slices)
        if (slice.fileType != slices.front().fileType)
            refuse("the architectures of the universal file are of different kinds");
    return slices;
}

std::string architectureName(uint32_t cpuType, uint32_t cpuSubtype) {
    uint32_t subtype = cpuSubtype & 0x00FFFFFF;
    switch (cpuType) {
    case 0x01000007:
        return subtype == 8 ? "x86_64h" : "x86_64";
    case 0x0100000C:
        return subtype == 2 ? "arm64e" : "arm64";
    case 0x0200000C:
        return "arm64_32";
    case 7:
        return "i386";
    case 12:
        return "arm";
    case 18:
        return "ppc";
    case 0x01000012:
        return "ppc64";
    default:
        return "cputype " + std::to_string(cpuType);
    }
}

} // namespace ostrel::signature
