#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace ostrel {

// The kinds of release file the store ships.
enum class ArtifactKind { pkg, zip, dmg };

std::string_view rawValue(ArtifactKind kind);

// Decides the kind by the file's content alone, never by its name: "xar!" at
// the start is a package, the zip local-header magic a zip, and "koly" 512
// bytes before the end a disk image. Absent for anything else. Read errors throw.
std::optional<ArtifactKind> sniffArtifactKind(const std::filesystem::path& file);

} // namespace ostrel
