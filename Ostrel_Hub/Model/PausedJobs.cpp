#include "Model/PausedJobs.h"

#include "Catalog/BoundedJson.h"
#include "Services/JsonReader.h"
#include "Util/AtomicFile.h"
#include "Util/Log.h"
#include "Util/XdgFolders.h"

#include <set>

namespace ostrel::hub {

void readJson(const JsonReader& in, PausedJob& out) {
    in.expectObject();
    out = PausedJob{.request = {.productId = in.required<std::string>("productId"),
                                .productName = in.required<std::string>("productName"),
                                .version = in.required<std::string>("version"),
                                .download = in.required<Download>("download")},
                    .verifyOnly = in.required<bool>("verifyOnly")};
    if (out.request.productId.empty())
        in.fail("a paused job names no product");
}

} // namespace ostrel::hub

namespace ostrel::hub::PausedJobs {
namespace {

namespace fs = std::filesystem;

// Bumped whenever the form changes; a file of another form is ignored.
constexpr int format = 1;

nlohmann::json entryJson(const PausedJob& job) {
    return {{"productId", job.request.productId},
            {"productName", job.request.productName},
            {"version", job.request.version},
            {"download", job.request.download},
            {"verifyOnly", job.verifyOnly}};
}

std::vector<PausedJob> decodeJobs(const JsonTree& tree) {
    const JsonReader top(tree);
    top.expectObject();
    if (top.required<int64_t>("format") != format)
        top.fail("a paused-jobs file of another form");
    const JsonReader list = top.member("jobs");
    list.expectArray();
    if (const auto at = tree.find(JsonTree::root, "jobs"); at && tree.size(*at) > maxJobs)
        list.fail("more paused jobs than " + std::to_string(maxJobs));
    std::vector<PausedJob> jobs;
    std::set<std::string> products;
    for (auto& job : list.as<std::vector<PausedJob>>())
        if (products.insert(job.request.productId).second)
            jobs.push_back(std::move(job));
    return jobs;
}

} // namespace

std::filesystem::path fileIn(const std::filesystem::path& workRoot) {
    return workRoot / "paused-jobs.json";
}

std::string encode(const std::vector<PausedJob>& jobs) {
    nlohmann::json json{{"format", format}, {"jobs", nlohmann::json::array()}};
    for (const auto& job : jobs) {
        if (json["jobs"].size() == maxJobs)
            break;
        json["jobs"].push_back(entryJson(job));
        if (json.dump().size() > maxFileBytes) {
            json["jobs"].erase(json["jobs"].size() - 1);
            break;
        }
    }
    return json.dump();
}

std::vector<PausedJob> decode(std::string_view text) {
    if (text.size() > maxFileBytes)
        return {};
    const auto json = BoundedJson::parse(text);
    if (!json)
        return {};
    try {
        return decodeJobs(*json);
    } catch (const DecodingError& error) {
        Log::warning(Log::Category::install, std::string("ignoring the paused jobs: ") + error.what());
        return {};
    }
}

std::vector<PausedJob> read(const std::filesystem::path& file) {
    const auto text = AtomicFile::read(file, maxFileBytes);
    return text ? decode(*text) : std::vector<PausedJob>{};
}

void write(const std::filesystem::path& file, const std::vector<PausedJob>& jobs) {
    if (jobs.empty()) {
        AtomicFile::remove(file);
        return;
    }
    // The work folder is made by the first download; a job that never ran may be kept before that.
    XdgFolders::makePrivate(file.parent_path());
    AtomicFile::write(file, encode(jobs), fs::perms::owner_read | fs::perms::owner_write);
}

} // namespace ostrel::hub::PausedJobs
