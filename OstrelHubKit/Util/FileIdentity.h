#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace ostrel {

// The device and inode of a file-system object, not following a final link.
// A rename keeps them, so an item can be recognised wherever a rename took it.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;

    // Absent when nothing is there.
    static std::optional<FileIdentity> of(const std::filesystem::path& path);
    bool known() const { return inode != 0; }
    bool operator==(const FileIdentity&) const = default;
};

// Whether the object at `path` is the one with this identity.
bool holds(const std::filesystem::path& path, const FileIdentity& identity);

} // namespace ostrel
