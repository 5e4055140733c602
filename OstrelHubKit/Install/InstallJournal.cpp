#include "Install/InstallJournal.h"

#include "Util/AtomicFile.h"
#include "Util/PathSafety.h"
#include "Util/XdgFolders.h"

#include <nlohmann/json.hpp>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

// Bumped when the form changes; a journal of another form is not acted on.
constexpr int journalFormat = 1;

nlohmann::json encode(const FileIdentity& identity) {
    return {{"device", identity.device}, {"inode", identity.inode}};
}

FileIdentity decodeIdentity(const nlohmann::json& json) {
    return {json.at("device").get<uint64_t>(), json.at("inode").get<uint64_t>()};
}

nlohmann::json encode(const PlacementStep& step) {
    nlohmann::json json{{"destination", step.destination},
                        {"incoming", step.incoming},
                        {"newCopy", encode(step.newCopy)},
                        {"previousCopy", encode(step.previousCopy)}};
    if (step.trashedTo)
        json["trashedTo"] = *step.trashedTo;
    return json;
}

PlacementStep decodeStep(const nlohmann::json& json) {
    PlacementStep step{json.at("destination").get<std::string>(), json.at("incoming").get<std::string>(),
                       decodeIdentity(json.at("newCopy")), decodeIdentity(json.at("previousCopy"))};
    if (json.contains("trashedTo"))
        step.trashedTo = json.at("trashedTo").get<std::string>();
    return step;
}

nlohmann::json encode(const InstallJournal& journal) {
    nlohmann::json json{
        {"format", journalFormat},
        {"operation", journal.operation == InstallJournal::Operation::install ? "install" : "uninstall"},
        {"productId", journal.productId},
        {"steps", nlohmann::json::array()},
        {"leftovers", journal.leftovers},
        {"removals", journal.removals},
    };
    if (journal.record)
        json["record"] = *journal.record;
    for (const auto& step : journal.steps)
        json["steps"].push_back(encode(step));
    return json;
}

InstallJournal decodeJournal(const nlohmann::json& json) {
    if (json.at("format").get<int>() != journalFormat)
        throw std::invalid_argument("journal of another format");
    const auto operation = json.at("operation").get<std::string>();
    if (operation != "install" && operation != "uninstall")
        throw std::invalid_argument("unknown journal operation");
    InstallJournal journal{operation == "install" ? InstallJournal::Operation::install
                                                  : InstallJournal::Operation::uninstall,
                           json.at("productId").get<std::string>()};
    if (json.contains("record"))
        journal.record = json.at("record").get<InstallRecord>();
    for (const auto& step : json.at("steps"))
        journal.steps.push_back(decodeStep(step));
    journal.leftovers = json.at("leftovers").get<std::vector<InstalledItem>>();
    journal.removals = json.at("removals").get<std::vector<InstalledItem>>();
    return journal;
}

} // namespace

JournalFolder::JournalFolder(fs::path supportFolder) : folder_(std::move(supportFolder) / "journal") {}

fs::path JournalFolder::fileFor(const std::string& productId) const {
    return folder_ / (PathSafety::sanitizedFileName(productId, "product") + ".json");
}

void JournalFolder::write(const InstallJournal& journal) const {
    XdgFolders::makePrivate(folder_);
    AtomicFile::write(fileFor(journal.productId), encode(journal).dump(1));
}

void JournalFolder::remove(const std::string& productId) const {
    AtomicFile::remove(fileFor(productId));
}

std::vector<std::pair<fs::path, std::optional<InstallJournal>>> JournalFolder::all() const {
    std::vector<std::pair<fs::path, std::optional<InstallJournal>>> journals;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
        const auto& path = entry.path();
        if (path.extension() != ".json" || path.filename().string().starts_with("."))
            continue;
        std::optional<InstallJournal> journal;
        if (const auto text = AtomicFile::read(path, JournalFolder::maxFileBytes)) {
            try {
                journal = decodeJournal(nlohmann::json::parse(*text));
            } catch (const std::exception&) {
            }
        }
        journals.emplace_back(path, std::move(journal));
    }
    return journals;
}

} // namespace ostrel
