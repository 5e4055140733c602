#include "Install/InstallLedger.h"

#include "Install/AppDirectories.h"
#include "Util/AtomicFile.h"
#include "Util/Log.h"
#include "Util/Version.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace ostrel {
namespace {

// Decodes the whole file as T, or nothing when it is missing, malformed or larger than the ledger
// ever grows.
template <typename T>
std::optional<T> decodeFile(const std::filesystem::path& file) {
    const auto text = AtomicFile::read(file, InstallLedger::maxFileBytes);
    if (!text)
        return std::nullopt;
    try {
        return nlohmann::json::parse(*text).get<T>();
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

// A file that is there but does not decode as T.
template <typename T>
bool undecodable(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::exists(file, error) && !decodeFile<T>(file);
}

std::string encode(const nlohmann::json& json, int indent) {
    return json.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

InstallLedger::InstallLedger(const std::filesystem::path& directory)
    : file_(directory / "installed.json"), floorsFile_(directory / "version-floors.json"), records_(loadRecords()) {}

InstallLedger InstallLedger::standard() {
    return InstallLedger(AppDirectories::support());
}

InstallLedger::Records InstallLedger::loadRecords() const {
    return decodeFile<Records>(file_).value_or(Records{});
}

InstallLedger::Floors InstallLedger::loadFloors() const {
    return decodeFile<Floors>(floorsFile_).value_or(Floors{});
}

void InstallLedger::persistRecords() const {
    // std::map keeps the keys sorted, at every level of the pretty-printed file.
    persist(file_, encode(nlohmann::json(records_), 2) + "\n", "ledger-records");
}

void InstallLedger::persist(const std::filesystem::path& file, const std::string& text, std::string_view step) const {
    const bool keepCopy = file == file_ ? undecodable<Records>(file) : undecodable<Floors>(file);
    if (keepCopy) {
        const auto copy = damagedCopy(file);
        std::filesystem::copy_file(file, copy);
        Log::warning(Log::Category::install, "kept the damaged " + file.string() + " as " + copy.string());
    }
    reach(checkpoint, step);
    AtomicFile::write(file, text);
}

std::filesystem::path InstallLedger::damagedCopy(const std::filesystem::path& file) {
    std::error_code error;
    for (int attempt = 1;; ++attempt) {
        auto candidate = file;
        candidate += attempt == 1 ? ".damaged" : ".damaged-" + std::to_string(attempt);
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error)))
            return candidate;
    }
}

bool InstallLedger::damaged() const {
    std::lock_guard guard(lock_);
    return undecodable<Records>(file_) || undecodable<Floors>(floorsFile_);
}

std::optional<InstallRecord> InstallLedger::record(const std::string& productId) const {
    std::lock_guard guard(lock_);
    const auto it = records_.find(productId);
    return it == records_.end() ? std::nullopt : std::optional(it->second);
}

std::vector<InstallRecord> InstallLedger::all() const {
    std::vector<InstallRecord> records;
    {
        std::lock_guard guard(lock_);
        for (const auto& [id, record] : records_)
            records.push_back(record);
    }
    // Byte order of UTF-8 is code-point order.
    std::stable_sort(records.begin(), records.end(),
                     [](const auto& a, const auto& b) { return a.productName < b.productName; });
    return records;
}

std::optional<std::string> InstallLedger::floor(const std::string& bundleIdentifier) const {
    std::lock_guard guard(lock_);
    const auto floors = loadFloors();
    const auto it = floors.find(bundleIdentifier);
    return it == floors.end() ? std::nullopt : std::optional(it->second);
}

std::map<std::string, std::string> InstallLedger::floors() const {
    std::lock_guard guard(lock_);
    return loadFloors();
}

void InstallLedger::save(const InstallRecord& record) {
    std::lock_guard guard(lock_);
    records_ = loadRecords();
    records_[record.productId] = record;
    persistRecords();

    Floors floors = loadFloors();
    for (const auto& item : record.items) {
        if (!item.version)
            continue;
        const auto it = floors.find(item.identifier);
        if (it == floors.end() || Version(it->second) < Version(*item.version))
            floors[item.identifier] = *item.version;
    }
    persist(floorsFile_, encode(nlohmann::json(floors), -1), "ledger-floors");
}

void InstallLedger::remove(const std::string& productId) {
    std::lock_guard guard(lock_);
    records_ = loadRecords();
    records_.erase(productId);
    persistRecords();
}

void InstallLedger::reload() {
    std::lock_guard guard(lock_);
    records_ = loadRecords();
}

} // namespace ostrel
