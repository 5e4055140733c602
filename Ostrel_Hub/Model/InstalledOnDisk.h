#pragma once

#include "Install/InstallRecord.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ostrel::hub {

// What the disk says about one installed product, beyond the ledger's record.
struct InstalledOnDisk {
    // Every bundle the hub placed is gone: the user removed the product by hand.
    bool removed = false;
    // A bundle of the same name sits in a system-wide plug-in folder, which hosts load too.
    bool olderCopy = false;

    bool operator==(const InstalledOnDisk&) const = default;

    // Looks at the disk for each record; blocking, so it runs on the Kit's threads. `systemRoot`
    // is where the system-wide folders live ("/" on a real machine).
    static std::map<std::string, InstalledOnDisk> check(const std::vector<InstallRecord>& records,
                                                        const std::filesystem::path& systemRoot);
};

} // namespace ostrel::hub
