#pragma once

#include "Catalog/CatalogExtras.h"
#include "Model/StoreState.h"
#include "Services/HostPolicy.h"

#include <QLocale>
#include <QString>
#include <QVariantMap>
#include <string>

namespace ostrel::hub {

// Everything a product page is made from besides the product itself.
struct ProductPageSources {
    const StoreState& state;
    const CatalogExtras* extras = nullptr; // screenshots, when the feed is there
    const HostPolicy& imagePolicy;         // which screenshot addresses may be shown
    std::string currency{};
    std::string localeName{};  // for prices, e.g. "en_US"
    QLocale locale{};          // for sizes and dates
    QString storeWebAddress{}; // "https://" and the store's host; the share link's base
};

// The words and facts of one product's page, as the page binds them.
namespace ProductPageData {

// How many other products "More from Ostrel" offers.
inline constexpr int moreFromOstrelCount = 8;

// `exists` false (and nothing else) for a product the storefront does not list.
QVariantMap build(const std::string& productId, const ProductPageSources& sources);

// "You have <version>, installed <date>", or "" when the product is not installed.
QString installedLine(const InstallRecord* record, const QLocale& locale);
// "Perpetual", "Subscription" (a recurring price with a cycle) or "Recurring".
QString licence(const StorefrontProduct& product);

} // namespace ProductPageData

} // namespace ostrel::hub
