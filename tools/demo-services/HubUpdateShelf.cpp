#include "HubUpdateShelf.h"

#include "HubUpdateSigner.h"
#include "Install/HubFolderSwap.h"
#include "Util/AtomicFile.h"
#include "Util/Base64.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

namespace ostrel::demo {
namespace fs = std::filesystem;

std::string HubUpdateShelf::nextVersion(const std::string& version) {
    const auto dot = version.rfind('.');
    const auto last = version.substr(dot == std::string::npos ? 0 : dot + 1);
    if (last.empty() || last.size() > 9 || last.find_first_not_of("0123456789") != std::string::npos)
        return version + ".1";
    return version.substr(0, version.size() - last.size()) + std::to_string(std::stol(last) + 1);
}

HubUpdateShelf::HubUpdateShelf(const std::optional<fs::path>& hubFolder, const fs::path& folder,
                               const std::string& downloadBase, const DemoLog& log) {
    const auto signer = fixtures::HubUpdateSigner::fromFile(fixtures::demoHubUpdateKeyFile());
    nlohmann::json items = nlohmann::json::array();
    if (hubFolder) {
        const auto installed = HubFolderSwap::versionOf(*hubFolder);
        if (!installed || !HubFolderSwap::isHubBuild(*hubFolder))
            throw std::runtime_error("There is no installed Ostrel Hub in " + hubFolder->string() + ".");
        version_ = nextVersion(*installed);
        // The same build under the next version: the swap, the self-test and the version
        // compare are what the demo shows, not new code.
        const fs::path build = folder / "build";
        fs::remove_all(folder);
        fs::create_directories(build);
        fs::copy(*hubFolder, build, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        AtomicFile::write(build / HubFolderSwap::versionFile, *version_ + "\n",
                          fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
        archive_ = folder / ("ostrel-hub-" + *version_ + ".tar.gz");
        fixtures::packHubFolder(build, *archive_);
        fs::remove_all(build);
        items.push_back({{"version", *version_},
                         {"url", downloadBase + archivePrefix + *version_ + ".tar.gz"},
                         {"length", fs::file_size(*archive_)},
                         {"ed25519", base64Encode(signer.signFile(*archive_))},
                         {"notes", "The demo's next version of Ostrel Hub."}});
        log("hub update " + *version_ + " published from " + hubFolder->string());
    }
    feed_ = signer.feed(nlohmann::json{{"product", "com.ostrel.hub"}, {"items", items}}.dump(2) + "\n");
}

} // namespace ostrel::demo
