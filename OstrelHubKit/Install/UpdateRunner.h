#pragma once

#include "Install/InstallLedger.h"
#include "Install/InstallPipeline.h"
#include "Services/MoonbaseClient.h"

#include <string>
#include <vector>

namespace ostrel {

// Brings every product in the ledger up to the store's current release, one
// product at a time, without a user interface. One product's failure never
// stops the others. The caller holds the install lock and a signed-in client.
class UpdateRunner {
public:
    struct Updated {
        std::string productId;
        std::string name;
        std::string version;
        bool operator==(const Updated&) const = default;
    };
    struct Failed {
        std::string productId;
        std::string name;
        std::string reason; // the error's own sentence
        bool operator==(const Failed&) const = default;
    };
    struct Outcome {
        std::vector<Updated> updated;
        std::vector<Failed> failed;
    };

    UpdateRunner(MoonbaseClient& client, InstallLedger& ledger, InstallPipeline& pipeline);

    // Never throws; products already current, or with nothing to install, are in neither list.
    Outcome run();

    // The store's current release of a product: its current version (else its version) and
    // the Mac download the installed record came from, else the first. Nothing when the store
    // offers no version or no Mac download.
    static std::optional<InstallRequest> requestFor(const ProductSummary& product,
                                                    const std::optional<InstallRecord>& installed);

private:
    void update(const InstallRecord& record, Outcome& outcome);

    MoonbaseClient& client_;
    InstallLedger& ledger_;
    InstallPipeline& pipeline_;
};

} // namespace ostrel
