#pragma once

#include "Install/Checkpoint.h"
#include "Install/InstallRecord.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// The hub's durable memory of what it installed: one record per product in
// "installed.json", and in "version-floors.json" the highest version of each
// bundle identifier ever installed, which only rises, so an old release can
// never replace a newer one, even after an uninstall.
//
// The app and the background updater share the files. Each write re-reads the
// records from disk and changes only its own entry, so neither process
// overwrites the other's work; installs themselves are serialised by the
// install lock. Safe to call from any thread. Unreadable or malformed files
// count as empty and are never reported.
class InstallLedger {
public:
    // Either file, read whole; thousands of records fit many times over.
    static constexpr std::size_t maxFileBytes = std::size_t{16} * 1024 * 1024;

    explicit InstallLedger(const std::filesystem::path& directory);
    // The ledger in the hub's support folder.
    static InstallLedger standard();

    std::optional<InstallRecord> record(const std::string& productId) const;
    // Every record, ordered by product name in code-point order.
    std::vector<InstallRecord> all() const;
    std::optional<std::string> floor(const std::string& bundleIdentifier) const;
    // Every floor, by bundle identifier.
    std::map<std::string, std::string> floors() const;

    // Stores or replaces the record, then raises the floors of its items.
    void save(const InstallRecord& record);
    // Drops the product's record; its floors stay.
    void remove(const std::string& productId);
    // Reads the records again, to see what another process wrote.
    void reload();

    // Whether a ledger file is there but cannot be read as one. Such a file
    // counts as empty, and before it is replaced a copy is kept beside it
    // (damagedCopy) so nothing is lost for good.
    bool damaged() const;
    static std::filesystem::path damagedCopy(const std::filesystem::path& file);

    // Called before each file write; crash tests stop the process there.
    Checkpoint checkpoint{};

    const std::filesystem::path& file() const { return file_; }
    const std::filesystem::path& floorsFile() const { return floorsFile_; }

private:
    using Records = std::map<std::string, InstallRecord>;
    using Floors = std::map<std::string, std::string>;

    Records loadRecords() const;
    Floors loadFloors() const;
    void persistRecords() const;
    void persist(const std::filesystem::path& file, const std::string& text, std::string_view step) const;

    std::filesystem::path file_;
    std::filesystem::path floorsFile_;
    mutable std::mutex lock_;
    Records records_;
};

} // namespace ostrel
