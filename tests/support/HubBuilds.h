#pragma once

#include "Install/HubFolderSwap.h"
#include "TempDir.h"

#include <filesystem>
#include <string>

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

} // namespace ostrel::test
