#pragma once

#include "Util/UniqueFd.h"

#include <filesystem>
#include <string>

namespace ostrel {

// Makes installs exclusive across processes: the app and the background
// updater may both run, and only the holder of this lock places or removes
// bundles. An advisory, non-blocking flock on "install.lock" in a folder; the
// system drops it when the holding process ends, however it ends. Re-entrant
// for one object; two objects over the same folder exclude each other. Not
// synchronised internally: each owner uses its lock from one thread.
class InstallLock {
public:
    explicit InstallLock(const std::filesystem::path& directory);
    // The lock in the hub's support folder.
    static InstallLock standard();

    // True when this object now holds the lock; false when someone else does
    // or the file cannot be opened. Never blocks.
    bool tryLock();
    // Releases the lock if held; harmless otherwise.
    void unlock();

    bool isLocked() const { return descriptor_.valid(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    UniqueFd descriptor_;
};

} // namespace ostrel
