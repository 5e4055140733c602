#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace ostrel::CappedFile {

// The whole content of a regular file, or none when it cannot be read, is not a regular file,
// or holds more than `maxBytes`. The size is judged before anything is read.
std::optional<std::string> read(const std::filesystem::path& file, std::size_t maxBytes);

} // namespace ostrel::CappedFile
