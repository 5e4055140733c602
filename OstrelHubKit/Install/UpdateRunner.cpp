#include "Install/UpdateRunner.h"

#include "Util/Log.h"
#include "Util/Version.h"

#include <algorithm>

namespace ostrel {

UpdateRunner::UpdateRunner(MoonbaseClient& client, InstallLedger& ledger, InstallPipeline& pipeline)
    : client_(client), ledger_(ledger), pipeline_(pipeline) {}

UpdateRunner::Outcome UpdateRunner::run() {
    Outcome outcome;
    for (const auto& record : ledger_.all()) {
        try {
            update(record, outcome);
        } catch (const std::exception& error) {
            // Only the hub's own errors carry a sentence for people; anything else is logged.
            const bool ours = dynamic_cast<const Error*>(&error) != nullptr;
            Log::error(Log::Category::backgroundUpdate, "updating " + record.productId + ": " + error.what());
            outcome.failed.push_back(
                {record.productId, record.productName, ours ? error.what() : "The update could not be finished."});
        }
    }
    return outcome;
}

std::optional<InstallRequest> UpdateRunner::requestFor(const ProductSummary& product,
                                                       const std::optional<InstallRecord>& installed) {
    const auto offered = product.currentVersion ? product.currentVersion : product.version;
    const auto downloads = product.macDownloads();
    if (!offered || downloads.empty())
        return std::nullopt;
    const auto same = std::find_if(downloads.begin(), downloads.end(),
                                   [&](const Download& d) { return installed && d.key == installed->downloadKey; });
    return InstallRequest{product.id, product.name, *offered, same != downloads.end() ? *same : downloads.front()};
}

void UpdateRunner::update(const InstallRecord& record, Outcome& outcome) {
    const auto request = requestFor(client_.product(record.productId), record);
    if (!request || !(Version(record.version) < Version(request->version)))
        return;
    pipeline_.run(*request, std::nullopt, {});
    outcome.updated.push_back({request->productId, request->productName, request->version});
}

} // namespace ostrel
