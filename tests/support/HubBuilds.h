#pragma once

#include "Install/HubFolderSwap.h"
#include "TempDir.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ostrel::test {

// A hub folder for the Kit's self-update tests: the probe program (tests/support/HubProbe.cpp)
// as bin/ostrel-hub, a version marker, and how the probe answers its self-test ("start",
// "fail" or "hang").
inline void makeHubFolder(const std::filesystem::path& folder, const std::string& version,
                          const std::string& behaviour = "start") {
    namespace fs = std::filesystem;
    fs::create_directories(folder / "bin");
    fs::copy_file(OSTREL_HUB_PROBE, folder / HubFolderSwap::executable, fs::copy_options::overwrite_existing);
    writeFile(folder / HubFolderSwap::versionFile, version + "\n");
    writeFile(folder / "share/ostrel-hub/probe", behaviour + "\n");
}

// The names in the folder holding `installed`: after any update, only the installed folder's own.
inline std::vector<std::string> namesBeside(const std::filesystem::path& installed) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(installed.parent_path()))
        names.push_back(entry.path().filename().string());
    return names;
}

} // namespace ostrel::test
