#pragma once

#include <filesystem>

namespace ostrel::XdgFolders {

// The freedesktop base folders: the variable when it holds an absolute path,
// else the default under the home folder. Throws
// std::filesystem::filesystem_error when the home folder is unknown.
std::filesystem::path home();
std::filesystem::path dataHome();   // $XDG_DATA_HOME or ~/.local/share
std::filesystem::path cacheHome();  // $XDG_CACHE_HOME or ~/.cache
std::filesystem::path configHome(); // $XDG_CONFIG_HOME or ~/.config

// Creates `folder` and any missing parents as 0700, then sets the folder
// itself to 0700. Returns the folder.
std::filesystem::path makePrivate(const std::filesystem::path& folder);

} // namespace ostrel::XdgFolders
