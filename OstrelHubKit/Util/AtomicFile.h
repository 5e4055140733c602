#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::AtomicFile {

// Replaces `file` as a whole: the bytes go to a hidden temporary file beside
// it, are flushed to disk, and the temporary file is renamed over the old one,
// so a reader sees either the old or the new content, never a mix; the folder
// is flushed too, so the rename itself survives a power cut. The new file is
// created with `permissions` and set to them again after the rename.
// Temporary files are named "." + the file's name + "." + six characters.
// Errors are thrown as std::filesystem::filesystem_error and leave the old file as it was.
void write(const std::filesystem::path& file, std::string_view bytes,
           std::filesystem::perms permissions = std::filesystem::perms::owner_read |
                                                std::filesystem::perms::owner_write);

// Removes the file, if there, and flushes its folder. Errors other than a
// missing file are thrown as std::filesystem::filesystem_error.
void remove(const std::filesystem::path& file);

// A rename or unlink is durable only once the folder holding it is flushed. Errors are thrown
// as std::filesystem::filesystem_error.
void syncFolder(const std::filesystem::path& folder);

// Whether a name is one of write()'s temporary files for `file`.
bool isTemporaryOf(const std::filesystem::path& candidate, const std::filesystem::path& file);

// The whole content of a regular file, or nothing when it cannot be read, is anything but a
// regular file (a folder, a pipe, a device), or holds more than `maxBytes`. The size is judged
// before anything is read, and a file that grows past the cap meanwhile is refused as well.
std::optional<std::string> read(const std::filesystem::path& file, std::size_t maxBytes);

} // namespace ostrel::AtomicFile
