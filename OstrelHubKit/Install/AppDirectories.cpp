#include "Install/AppDirectories.h"

#include "Util/XdgFolders.h"

namespace ostrel::AppDirectories {
namespace fs = std::filesystem;

fs::path owned(const fs::path& folder) {
    return XdgFolders::makePrivate(folder);
}

fs::path support() {
    return owned(XdgFolders::dataHome() / "Ostrel Hub");
}

fs::path work() {
    return cache("work");
}

fs::path cache(const std::string& name) {
    return owned(XdgFolders::cacheHome() / "com.ostrel.hub" / name);
}

} // namespace ostrel::AppDirectories
