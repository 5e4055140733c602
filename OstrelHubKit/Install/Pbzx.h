#pragma once

#include <cstdint>
#include <filesystem>

namespace ostrel::Pbzx {

// True when the file starts with the "pbzx" magic of Apple's chunked-xz payloads.
bool isPbzx(const std::filesystem::path& file);

// Decodes a pbzx payload into the plain stream it wraps (a cpio archive),
// chunk by chunk, never holding more than one chunk in memory. Stops with
// InstallError::tooLarge once the output would pass `maxOutputBytes`, and
// with InstallError::unsafeArchive for a malformed stream.
void decode(const std::filesystem::path& input, const std::filesystem::path& output, int64_t maxOutputBytes);

} // namespace ostrel::Pbzx
