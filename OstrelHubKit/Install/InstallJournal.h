#pragma once

#include "Install/InstallRecord.h"
#include "Install/InstalledItem.h"
#include "Util/FileIdentity.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// One bundle being put in place. The new copy is made at `incoming`, a
// hidden name beside the destination, and swapped in; the copy it replaces
// goes to the Trash. Both copies are known by identity, so recovery finds
// them wherever the last rename before a crash left them.
struct PlacementStep {
    std::string destination;
    std::string incoming;
    FileIdentity newCopy{};                 // once copied
    FileIdentity previousCopy{};            // once known; none when the place was empty
    std::optional<std::string> trashedTo{}; // where the previous copy went, once it did

    // Where the previous copy waits when the file system cannot swap two names at once.
    std::filesystem::path outgoing() const { return incoming + "-previous"; }
    bool operator==(const PlacementStep&) const = default;
};

// What an install or uninstall set out to do, written before its first change
// on disk and kept up to date until the ledger and floors agree with the disk.
struct InstallJournal {
    enum class Operation { install, uninstall };

    Operation operation = Operation::install;
    std::string productId;
    std::optional<InstallRecord> record{};  // install: the ledger entry once every bundle is in place
    std::vector<PlacementStep> steps{};     // install
    std::vector<InstalledItem> leftovers{}; // install: items of the previous release it no longer ships
    std::vector<InstalledItem> removals{};  // uninstall
    bool operator==(const InstallJournal&) const = default;
};

// The journals in the data folder, one file per product. Files are written
// atomically and flushed with their folder, so a journal on disk is always whole.
class JournalFolder {
public:
    // One journal, read whole; a release with thousands of bundles stays well below it.
    static constexpr std::size_t maxFileBytes = std::size_t{4} * 1024 * 1024;

    explicit JournalFolder(std::filesystem::path supportFolder);

    void write(const InstallJournal& journal) const;
    void remove(const std::string& productId) const;
    // Every journal file, with its content; absent when a file cannot be read as one.
    std::vector<std::pair<std::filesystem::path, std::optional<InstallJournal>>> all() const;
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path fileFor(const std::string& productId) const;
    std::filesystem::path folder_;
};

} // namespace ostrel
