#include "Model/InstalledOnDisk.h"

#include <algorithm>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;

bool present(const fs::path& location) {
    std::error_code error;
    return fs::exists(fs::symlink_status(location, error));
}

bool hasSystemCopy(const InstalledItem& item, const fs::path& systemRoot) {
    const auto folder = systemDirectory(item.kind);
    return folder && present(systemRoot / folder->relative_path() / item.name());
}

} // namespace

std::map<std::string, InstalledOnDisk> InstalledOnDisk::check(const std::vector<InstallRecord>& records,
                                                              const fs::path& systemRoot) {
    std::map<std::string, InstalledOnDisk> facts;
    for (const auto& record : records) {
        const auto& items = record.items;
        facts[record.productId] = InstalledOnDisk{
            .removed = !items.empty() && record.presentItems().empty(),
            .olderCopy = std::any_of(items.begin(), items.end(),
                                     [&](const InstalledItem& item) { return hasSystemCopy(item, systemRoot); }),
        };
    }
    return facts;
}

} // namespace ostrel::hub
