#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::AtomicFile {

// Replaces `file` as a whole: the bytes go to a hidden temporary file beside
// it, are flushed to disk, and the temporary file is renamed over the old one,
// so a reader sees either the old or the new content, never a mix. The new
// file is created with `permissions` and set to them again after the rename.
// Errors are thrown as std::filesystem::filesystem_error and leave the old file as it was.
void write(const std::filesystem::path& file, std::string_view bytes,
           std::filesystem::perms permissions = std::filesystem::perms::owner_read |
                                                std::filesystem::perms::owner_write);

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> read(const std::filesystem::path& file);

} // namespace ostrel::AtomicFile
