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

void UpdateRunner::update(const InstallRecord& record, Outcome& outcome) {
    const ProductSummary product = client_.product(record.productId);
    const auto offered = product.currentVersion ? product.currentVersion : product.version;
    if (!offered || !(Version(record.version) < Version(*offered)))
        return;
    const auto downloads = product.macDownloads();
    if (downloads.empty())
        return;
    const auto same = std::find_if(downloads.begin(), downloads.end(),
                                   [&](const Download& d) { return d.key == record.downloadKey; });
    const Download& chosen = same != downloads.end() ? *same : downloads.front();
    pipeline_.run({product.id, product.name, *offered, chosen}, std::nullopt, {});
    outcome.updated.push_back({product.id, product.name, *offered});
}

} // namespace ostrel
