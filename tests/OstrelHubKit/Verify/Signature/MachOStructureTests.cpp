#include "SignedCodeFixture.h"
#include "Tampering.h"
#include "Verify/Signature/MachOFile.h"
#include "Verify/Signature/MachOSignature.h"
#include "Verify/Signature/SignatureFailure.h"

#include <gtest/gtest.h>

namespace ostrel::test {
namespace {

using signature::Bytes;

void putBe32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<uint8_t>(value >> (24 - 8 * i));
}

uint32_t be32(const Bytes& bytes, size_t at) {
    return uint32_t(bytes.at(at)) << 24 | uint32_t(bytes.at(at + 1)) << 16 | uint32_t(bytes.at(at + 2)) << 8 |
           bytes.at(at + 3);
}

// (dataoff, datasize) of every LC_CODE_SIGNATURE of a thin 64-bit file.
std::vector<std::pair<uint32_t, uint32_t>> signatureCommands(const Bytes& thin) {
    signature::ByteReader reader(thin, "the Mach-O file");
    std::vector<std::pair<uint32_t, uint32_t>> found;
    uint64_t at = 32;
    for (uint32_t i = 0; i < reader.le32(16); ++i) {
        if (reader.le32(at) == 0x1D)
            found.emplace_back(reader.le32(at + 8), reader.le32(at + 12));
        at += reader.le32(at + 4);
    }
    return found;
}

// Damaged copies of real signed files, each checked from memory.
class MachOStructure : public SignedCodeFixture {
protected:
    std::string detail(const Bytes& bytes) {
        try {
            signature::checkMachOSignature(bytes, trust());
            return "";
        } catch (const signature::SignatureFailure& failure) {
            return failure.detail();
        }
    }

    Bytes signedThin() { return fixtures::readBytes(thin("thin", "arm64", developerId(pki().application))); }
    Bytes signedFat() {
        return fixtures::readBytes(fat("fat", developerId(pki().application), developerId(pki().application)));
    }
    // Offset of the SuperBlob of a thin file.
    static size_t signatureStart(const Bytes& thin) {
        return signature::parseMachO(thin).front().signature->dataOffset;
    }
    // Offset of the blob in `slot` inside a thin file.
    static size_t blobStart(const Bytes& thin, uint32_t slot) {
        size_t start = signatureStart(thin);
        for (uint32_t i = 0; i < be32(thin, start + 8); ++i)
            if (be32(thin, start + 12 + 8 * i) == slot)
                return start + be32(thin, start + 16 + 8 * i);
        throw std::runtime_error("no such blob");
    }
};

TEST_F(MachOStructure, RefusesMalformedUniversalHeaders) {
    Bytes good = signedFat();
    ASSERT_EQ(detail(good), "");
    Bytes many = good;
    putBe32(many, 4, 101);
    EXPECT_EQ(detail(many), "the universal header lists 101 architectures");
    putBe32(many, 4, 100); // at the limit the entries themselves are read (and found wanting)
    EXPECT_EQ(detail(many), "the cputype 0 slice overlaps another part of the file");
    // The 64-bit header form holds the same slices under the same rules.
    Bytes wide = fixtures::assembleFat(fixtures::splitFat(good), true);
    EXPECT_EQ(detail(wide), "");
    Bytes wideReserved = wide;
    putBe32(wideReserved, 8 + 28, 1);
    EXPECT_EQ(detail(wideReserved), "the universal header is malformed");
    Bytes misread = good;
    putBe32(misread, 0, 0xCAFEBABF); // 20-byte entries read as 32-byte ones
    EXPECT_EQ(detail(misread), "the universal header is malformed");
    Bytes hidden = good;
    putBe32(hidden, 8 + 2 * 20, 0x0100000C);
    EXPECT_EQ(detail(hidden), "the universal file has a hidden architecture");
    Bytes twice = good;
    putBe32(twice, 8, 0x0100000C); // the first entry claims arm64 as well
    putBe32(twice, 12, 0);
    EXPECT_EQ(detail(twice), "the universal file lists the arm64 architecture twice");
    Bytes overlapping = good;
    putBe32(overlapping, 8 + 20 + 8, 0); // the arm64 slice claims the universal header
    EXPECT_EQ(detail(overlapping), "the arm64 slice overlaps another part of the file");
    Bytes misaligned = good;
    putBe32(misaligned, 8 + 16, 16); // 64 KiB alignment for the first slice
    EXPECT_EQ(detail(misaligned), "the x86_64 slice is misaligned");
}

TEST_F(MachOStructure, RefusesUniversalEntriesThatMislabelTheirSlices) {
    Bytes good = signedFat();
    ASSERT_EQ(be32(good, 8), 0x01000007u); // x86_64 first, as lipo writes it
    ASSERT_EQ(be32(good, 28), 0x0100000Cu);
    // The header names each slice as the other: a loader picking by the header
    // would run code the name does not describe.
    Bytes swapped = good;
    for (size_t field : {size_t(0), size_t(4)}) {
        putBe32(swapped, 8 + field, be32(good, 28 + field));
        putBe32(swapped, 28 + field, be32(good, 8 + field));
    }
    EXPECT_EQ(detail(swapped), "the arm64 slice holds code of another architecture");
    Bytes relabelled = good;
    putBe32(relabelled, 8, 7); // the x86_64 slice called i386
    EXPECT_EQ(detail(relabelled), "the i386 slice holds code of another architecture");
}

TEST_F(MachOStructure, RefusesTwoSignatureCommands) {
    std::filesystem::path file = dir_ / "two-commands";
    fixtures::buildThinMachO({"arm64"}, file);
    fixtures::tamper::duplicateSignatureCommand(file);
    fixtures::signMachO(file, developerId(pki().application));
    Bytes bytes = fixtures::readBytes(file);
    // Both name the very signature that was made.
    auto commands = signatureCommands(bytes);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], commands[1]);
    EXPECT_EQ(detail(bytes), "the arm64 slice has two signature commands");
}

TEST_F(MachOStructure, RefusesMalformedSignatureBlobs) {
    Bytes good = signedThin();
    size_t start = signatureStart(good);
    Bytes unknownSlot = good;
    putBe32(unknownSlot, start + 12 + 8, 0x4242); // the second index entry
    EXPECT_EQ(detail(unknownSlot), "the signature has an unknown component");
    Bytes overlapping = good;
    putBe32(overlapping, start + 16 + 8, be32(good, start + 16)); // the second blob at the first's offset
    EXPECT_EQ(detail(overlapping), "the signature has overlapping components");
    Bytes tooLong = good;
    putBe32(tooLong, start + 4, be32(good, start + 4) + 1'000'000);
    EXPECT_EQ(detail(tooLong), "the signature is truncated");
    Bytes tooMany = good;
    putBe32(tooMany, start + 8, 65);
    EXPECT_EQ(detail(tooMany), "the signature has too many components");
    putBe32(tooMany, start + 8, 64);
    EXPECT_EQ(detail(tooMany), "the signature has a component inside its index");
}

TEST_F(MachOStructure, RefusesMalformedCodeDirectories) {
    Bytes good = signedThin();
    size_t cd = blobStart(good, 0);
    Bytes version = good;
    putBe32(version, cd + 8, 0x30000);
    EXPECT_EQ(detail(version), "the code directory has an unsupported version");
    Bytes limit = good;
    putBe32(limit, cd + 32, be32(good, cd + 32) - 4096); // one page fewer, same slot count
    EXPECT_EQ(detail(limit), "the code directory does not cover its code");
    Bytes hashSize = good;
    hashSize.at(cd + 36) = 20; // SHA-256 with 20-byte hashes
    EXPECT_EQ(detail(hashSize), "the code directory uses an unknown hash");
    Bytes identifier = good;
    putBe32(identifier, cd + 20, be32(good, cd + 4)); // identifier offset at the very end
    EXPECT_EQ(detail(identifier), "the code directory has an unterminated string");
    Bytes specials = good;
    putBe32(specials, cd + 24, 0x10000000);
    EXPECT_EQ(detail(specials), "the code directory has special slots outside it");
    Bytes requirements = good;
    requirements.at(blobStart(good, 2) + 12) ^= 1; // sealed by special slot 2
    EXPECT_EQ(detail(requirements), "the requirements of the arm64 slice do not match their hash");
}

TEST_F(MachOStructure, RefusesNonMachOAndTruncatedFilesWithoutCrashing) {
    EXPECT_EQ(detail(Bytes{'n', 'o', 'p', 'e'}), "not Mach-O code");
    EXPECT_EQ(detail(Bytes{}), "not Mach-O code");
    Bytes good = signedThin();
    // Every prefix fails cleanly: no read past the end whatever the offsets say.
    for (size_t size : {size_t(4), size_t(31), size_t(100), size_t(4096), good.size() - 1}) {
        Bytes cut(good.begin(), good.begin() + static_cast<long>(size));
        EXPECT_NE(detail(cut), "") << size;
    }
}

} // namespace
} // namespace ostrel::test
