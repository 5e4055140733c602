#pragma once

#include "Model/InstallJob.h"

#include <QString>
#include <optional>

namespace ostrel::hub {

// What the hub knows of one product when its action button is drawn.
struct ProductFacts {
    bool isFree = false;
    bool isPurchasable = false;
    bool owned = false;
    bool installed = false;
    bool hasUpdate = false;
    bool isApp = false; // apps and games open; plug-ins only say they are installed
    bool hasMacDownload = false;
    std::optional<InstallJob::Stage> jobStage{}; // of the product's job in the list, if any
    QString price{};                             // the formatted price, for a paid product
};

// The one button of a product: its kind and the words on it.
struct ProductAction {
    enum class Kind { get, buy, install, update, resume, open, installed, owned, progress, none };

    Kind kind = Kind::none;
    QString title{};

    // A running job shows its progress and a paused one offers to resume; otherwise the
    // product's state decides: update, open or installed once installed, install once owned
    // (owned without a Mac download: owned), get when free, the price when for sale.
    static ProductAction decide(const ProductFacts& facts);
    // "get", "buy", … as the screens compare it.
    QString kindName() const;

    bool operator==(const ProductAction&) const = default;
};

} // namespace ostrel::hub
