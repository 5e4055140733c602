#pragma once

#include "Util/UniqueFd.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <openssl/evp.h>

namespace ostrel::FileBytes {

// Opens a regular file for reading without following a link in its last
// component, so a swapped-in link is never read through. Throws
// SignatureDefect naming `shownAs` when the file is missing or not a regular file.
UniqueFd openRegular(const std::filesystem::path& file, std::string_view shownAs);

// Opens a regular file at `relative` below the folder `root`, refusing a link
// anywhere on the way (not only in the last component), so a bundle cannot
// redirect a read of its parts to somewhere else. Throws SignatureDefect
// naming `shownAs` ("... is missing", "... is a link", "... lies behind a link").
UniqueFd openBeneath(const std::filesystem::path& root, const std::filesystem::path& relative,
                     std::string_view shownAs);

// The size of an open file.
uint64_t sizeOf(int fd);

// The whole file, refused when it holds more than `maxBytes`. Only for small
// components (property lists, detached signature parts).
std::vector<uint8_t> readCapped(const std::filesystem::path& file, uint64_t maxBytes, std::string_view shownAs);

// The whole of an open file, refused when it holds more than `maxBytes`.
std::vector<uint8_t> readCapped(int fd, uint64_t maxBytes, std::string_view shownAs);

// Exactly `length` bytes at `offset`; throws SignatureDefect when the file is shorter.
std::vector<uint8_t> readAt(int fd, uint64_t offset, uint64_t length, std::string_view shownAs);

// One digest of the bytes [offset, offset+length) of an open file, streamed in
// small blocks so big files never sit in memory.
std::vector<uint8_t> digestRange(int fd, uint64_t offset, uint64_t length, const EVP_MD* md);

// Several digests of a whole file in one pass (e.g. SHA-1 and SHA-256 of a sealed resource).
std::vector<std::vector<uint8_t>> digestAll(int fd, std::span<const EVP_MD* const> mds);

// The digest of bytes already in memory.
std::vector<uint8_t> digest(std::span<const uint8_t> bytes, const EVP_MD* md);

// Lower-case hexadecimal text of bytes, and back (nullopt-like empty result on bad text).
std::string hex(std::span<const uint8_t> bytes);
bool parseHex(std::string_view text, std::vector<uint8_t>& out);

} // namespace ostrel::FileBytes
