#pragma once

#include <filesystem>
#include <string>

namespace ostrel::AppDirectories {

// The hub's private folders. Each is created when missing and tightened to
// owner-only (0700); errors are thrown as std::filesystem::filesystem_error.

// $XDG_DATA_HOME/Ostrel Hub: the install ledger and the install lock.
std::filesystem::path support();
// $XDG_CACHE_HOME/com.ostrel.hub/work: where downloads are unpacked.
std::filesystem::path work();
// $XDG_CACHE_HOME/com.ostrel.hub/<name>: "snapshots", "images", ...
std::filesystem::path cache(const std::string& name);
// Creates `folder` and any missing parents as 0700, then sets the folder itself to 0700.
std::filesystem::path owned(const std::filesystem::path& folder);

} // namespace ostrel::AppDirectories
