#include "Install/HubFolderSwap.h"

#include "Platform/FolderExchange.h"
#include "Util/AtomicFile.h"
#include "Util/Log.h"
#include "Util/Subprocess.h"
#include "Util/Text.h"
#include "Util/UniqueFd.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

using nlohmann::json;

// A journal is a few dozen bytes; anything much larger is not ours.
constexpr std::size_t maxJournalBytes = 4096;

fs::path beside(const fs::path& installed, const std::string& suffix) {
    return installed.parent_path() / ("." + installed.filename().string() + suffix);
}

json identityJson(const FileIdentity& identity) {
    return {{"device", identity.device}, {"inode", identity.inode}};
}

FileIdentity identityFrom(const json& value) {
    return {value.at("device").get<uint64_t>(), value.at("inode").get<uint64_t>()};
}

void log(const std::string& message) {
    Log::info(Log::Category::install, "self-update: " + message);
}

} // namespace

HubFolderSwap::HubFolderSwap(fs::path installed, double selfTestSeconds)
    : installed_(installed.filename().empty() ? installed.parent_path() : std::move(installed)), // no trailing "/"
      staging_(beside(installed_, ".swap")), selfTestSeconds_(selfTestSeconds) {}

fs::path HubFolderSwap::staging() const {
    return staging_;
}

fs::path HubFolderSwap::journal() const {
    return beside(installed_, ".swap.json");
}

const fs::path& HubFolderSwap::beginStaging() const {
    if (fs::exists(fs::symlink_status(journal())))
        throw std::logic_error("an earlier swap of " + installed_.string() + " is not recovered yet");
    fs::remove_all(staging_);
    fs::create_directory(staging_);
    return staging_;
}

bool HubFolderSwap::isHubBuild(const fs::path& folder) {
    const auto program = fs::symlink_status(folder / executable);
    const bool runnable = fs::is_regular_file(program) && ::access((folder / executable).c_str(), X_OK) == 0;
    return runnable && versionOf(folder).has_value();
}

std::optional<std::string> HubFolderSwap::versionOf(const fs::path& folder) {
    if (!fs::is_regular_file(fs::symlink_status(folder / versionFile)))
        return std::nullopt;
    const auto text = AtomicFile::read(folder / versionFile, maxVersionBytes);
    if (!text)
        return std::nullopt;
    std::string version(Text::trimmedAscii(*text));
    if (version.empty())
        return std::nullopt;
    return version;
}

bool HubFolderSwap::starts(const fs::path& folder, std::stop_token stop) const {
    try {
        const auto result = Subprocess::run((folder / executable).string(), {selfTestArgument}, selfTestSeconds_, stop);
        if (result.status != 0)
            log("the build in " + folder.string() + " ended its self-test with status " +
                std::to_string(result.status) + ": " + result.standardError);
        return result.status == 0;
    } catch (const std::exception& e) {
        log("the build in " + folder.string() + " did not confirm that it starts: " + e.what());
        return false;
    }
}

HubFolderSwap::Outcome HubFolderSwap::swapIn(std::stop_token stop) const {
    if (!isHubBuild(staging_))
        throw std::invalid_argument("the staged folder " + staging_.string() + " is not a hub build");
    const auto old = FileIdentity::of(installed_);
    const auto incoming = FileIdentity::of(staging_);
    if (!old || !incoming)
        throw std::invalid_argument("nothing is installed at " + installed_.string());
    // Everything unpacked reaches the disk before the journal says it is there.
    const UniqueFd folder(::open(staging_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder || ::syncfs(folder.get()) != 0)
        throw fs::filesystem_error("could not flush", staging_, std::error_code(errno, std::generic_category()));
    const Journal journal{*old, *incoming, false};
    reach(checkpoint_, "journal");
    write(journal);
    reach(checkpoint_, "exchange");
    FolderExchange::exchange(installed_, staging_);
    return confirmOrRollBack(journal, stop);
}

HubFolderSwap::Outcome HubFolderSwap::confirmOrRollBack(const Journal& journal, std::stop_token stop) const {
    if (starts(installed_, stop)) {
        finish(journal);
        return Outcome::installed;
    }
    reach(checkpoint_, "roll back");
    FolderExchange::exchange(installed_, staging_);
    log("the new build did not start; the previous one is installed again");
    cleanUp();
    return Outcome::rolledBack;
}

void HubFolderSwap::finish(const Journal& journal) const {
    if (!journal.confirmed) {
        reach(checkpoint_, "confirm");
        write({journal.old, journal.incoming, true});
    }
    cleanUp();
}

void HubFolderSwap::cleanUp() const {
    reach(checkpoint_, "remove staging");
    fs::remove_all(staging_);
    reach(checkpoint_, "remove journal");
    AtomicFile::remove(journal());
}

HubFolderSwap::Recovery HubFolderSwap::recover(std::stop_token stop) const {
    const bool journalThere = fs::exists(fs::symlink_status(journal()));
    const bool stagingThere = fs::exists(fs::symlink_status(staging_));
    const auto journal = read();
    if (journal && holds(installed_, journal->incoming)) {
        if (journal->confirmed) {
            finish(*journal);
            return Recovery::completed;
        }
        log("testing the new build an interrupted update left installed");
        return confirmOrRollBack(*journal, stop) == Outcome::installed ? Recovery::completed : Recovery::rolledBack;
    }
    if (!journalThere && !stagingThere)
        return Recovery::nothing;
    // The installed build is the old one (or one we never staged): what is beside it goes.
    log("removing what an interrupted update left beside " + installed_.string());
    cleanUp();
    return Recovery::cleanedUp;
}

void HubFolderSwap::write(const Journal& journal) const {
    const json document{
        {"old", identityJson(journal.old)},
        {"new", identityJson(journal.incoming)},
        {"confirmed", journal.confirmed},
    };
    AtomicFile::write(this->journal(), document.dump());
}

std::optional<HubFolderSwap::Journal> HubFolderSwap::read() const {
    const auto text = AtomicFile::read(journal(), maxJournalBytes);
    if (!text)
        return std::nullopt;
    try {
        const auto document = json::parse(*text);
        return Journal{identityFrom(document.at("old")), identityFrom(document.at("new")),
                       document.at("confirmed").get<bool>()};
    } catch (const json::exception& e) {
        Log::error(Log::Category::install,
                   "self-update: the journal " + journal().string() + " is unreadable: " + e.what());
        return std::nullopt;
    }
}

} // namespace ostrel
