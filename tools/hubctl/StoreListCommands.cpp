#include "Command.h"
#include "Locations.h"
#include "StoreSession.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

namespace ostrel::hubctl {
namespace {

using Row = std::vector<std::string>;

// Columns padded to their widest cell, two spaces apart; the last one is not padded.
void printTable(std::ostream& out, const std::vector<Row>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows)
        for (size_t column = 0; column < row.size(); ++column) {
            widths.resize(std::max(widths.size(), row.size()));
            widths[column] = std::max(widths[column], row[column].size());
        }
    for (const auto& row : rows) {
        for (size_t column = 0; column + 1 < row.size(); ++column)
            out << std::left << std::setw(static_cast<int>(widths[column] + 2)) << row[column];
        out << (row.empty() ? "" : row.back()) << "\n";
    }
}

std::string price(const std::optional<PricingVariation>& variation, const std::string& currency) {
    if (!variation)
        return "-";
    const auto it = variation->price.find(currency);
    if (it == variation->price.end())
        return "-";
    if (it->second == 0)
        return "free";
    std::ostringstream text;
    text << currency << " " << std::fixed << std::setprecision(2) << it->second;
    return text.str();
}

int storefront(const CommandLine& line, Output io) {
    line.expectArguments(0, "nothing");
    StoreSession store(line);
    const auto shelf = store.client.storefront();
    const auto& currency = shelf.suggestedCurrency;
    std::vector<Row> rows{{"NAME", "ID", "KIND", "VERSION", "PRICE", "OWNED"}};
    for (const auto& product : shelf.products)
        rows.push_back({product.name, product.id, "product", product.currentVersion.value_or("-"),
                        price(product.defaultVariation, currency), product.owned ? "yes" : "no"});
    for (const auto& bundle : shelf.bundles)
        rows.push_back({bundle.name, bundle.id, "bundle", "-", price(bundle.defaultVariation, currency),
                        bundle.owned ? "yes" : (bundle.partial ? "partly" : "no")});
    printTable(io.out, rows);
    return 0;
}

int owned(const CommandLine& line, Output io) {
    line.expectArguments(0, "nothing");
    StoreSession store(line);
    const InstallLedger ledger(dataFolder(line));
    std::vector<Row> rows{{"NAME", "ID", "KIND", "VERSION", "INSTALLED"}};
    for (const auto& product : store.client.ownedProducts()) {
        const auto record = ledger.record(product.id);
        const auto version = product.currentVersion ? product.currentVersion : product.version;
        const auto downloads = product.macDownloads();
        const std::string kind = record && !record->items.empty() ? std::string(label(record->items.front().kind))
                                 : downloads.empty()              ? "(not for the Mac)"
                                                                  : "-";
        rows.push_back({product.name, product.id, kind, version.value_or("-"), record ? record->version : "-"});
    }
    if (rows.size() == 1)
        io.out << "This account owns no products.\n";
    else
        printTable(io.out, rows);
    return 0;
}

} // namespace

Command storefrontCommand() {
    return {"storefront",
            "list what the store sells, with versions and prices",
            "ostrel-hubctl storefront [--config FILE]\n\n"
            "Lists the store's products and bundles: name, identifier, kind, current version,\n"
            "price in the store's suggested currency, and whether the signed-in account owns it.\n",
            storeOptions,
            {},
            storefront};
}

Command ownedCommand() {
    auto options = storeOptions;
    options.insert("data");
    return {"owned",
            "list the signed-in account's products and what is installed",
            "ostrel-hubctl owned [--config FILE] [--data DIR]\n\n"
            "Lists every product the account owns with the store's current version and the\n"
            "version installed here (from the ledger in --data); the kind is that of the\n"
            "installed bundles.\n",
            options,
            {},
            owned};
}

} // namespace ostrel::hubctl
