#pragma once

#include "Model/ProductKind.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace ostrel::hub {

// How the hub files one of the maker's products: the store itself says nothing of it.
struct CatalogEntry {
    ProductKind kind = ProductKind::plugIn;
    std::string category{}; // a shelf name, or "Games"
    std::string formats{};  // display text such as "VST3, AU" or "App"

    bool operator==(const CatalogEntry&) const = default;
};

// The built-in classification of the maker's products.
namespace Catalog {

// Product id → entry, built on first use; safe to call from any thread.
const std::map<std::string, CatalogEntry, std::less<>>& entries();

// The entry for the id; a product the table does not know counts as a plug-in in the category
// "Plug-ins", with no formats.
CatalogEntry entry(std::string_view id);

// Whether the shelf `a` comes before the shelf `b`: by the fixed shelf order, unknown categories
// after all known ones, and by plain code-point order within the same rank. A strict weak
// ordering, usable with std::sort.
bool shelfOrder(std::string_view a, std::string_view b);

} // namespace Catalog

} // namespace ostrel::hub
