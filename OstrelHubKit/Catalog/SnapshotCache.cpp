#include "Catalog/SnapshotCache.h"

#include "Install/AppDirectories.h"
#include "Util/AtomicFile.h"
#include "Util/Log.h"
#include "Util/PathSafety.h"

#include <system_error>

namespace ostrel {

namespace fs = std::filesystem;

std::optional<SnapshotCache> SnapshotCache::standard() {
    try {
        return SnapshotCache{AppDirectories::cache("snapshots")};
    } catch (const fs::filesystem_error& e) {
        Log::warning(Log::Category::catalog, std::string("Running without snapshots: ") + e.what());
        return std::nullopt;
    }
}

fs::path SnapshotCache::file(const std::string& key) const {
    return directory / (PathSafety::sanitizedFileName(key, "download") + ".json");
}

void SnapshotCache::write(const std::string& key, const nlohmann::json& document) const {
    const auto target = file(key);
    try {
        // Owner only: the storefront says what the user owns.
        AtomicFile::write(target, document.dump(), fs::perms::owner_read | fs::perms::owner_write);
    } catch (const std::exception& e) {
        Log::error(Log::Category::catalog, "Could not save the snapshot " + target.string() + ": " + e.what());
        throw SnapshotError();
    }
}

std::optional<std::string> SnapshotCache::read(const std::string& key) const {
    return AtomicFile::read(file(key), maxFileBytes);
}

void SnapshotCache::remove(const std::string& key) const noexcept {
    std::error_code ignored;
    fs::remove(file(key), ignored);
}

} // namespace ostrel
