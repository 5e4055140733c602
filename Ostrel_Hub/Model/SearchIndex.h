#pragma once

#include "Catalog/CatalogExtras.h"
#include "Catalog/ExtrasItem.h"
#include "Services/Storefront.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace ostrel::hub {

// The storefront's products with their texts folded once, so that a search only folds the
// query and scans. Products are shared with the storefront they came from, so results stay
// valid after the index moves on to a newer storefront.
class SearchIndex {
public:
    using ProductRef = std::shared_ptr<const StorefrontProduct>;

    SearchIndex() = default;
    explicit SearchIndex(std::shared_ptr<const Storefront> storefront) { rebuild(std::move(storefront)); }

    // One entry per product, in storefront order; empty without a storefront.
    void rebuild(std::shared_ptr<const Storefront> storefront);

    size_t size() const { return entries_.size(); }
    const ProductRef& product(size_t position) const { return entries_.at(position).product; }
    // The entry's name, tagline, description, category, kind and formats joined with single
    // spaces, then folded. Valid until the index changes.
    std::string_view text(size_t position) const;

    // The products in `allowed` (by id) whose text holds every token of the query. Those whose
    // folded name starts with the first token come first, then the others; each group by name
    // in code-point order, equal names in index order. A query without tokens finds nothing.
    std::vector<ProductRef> results(std::string_view query, const std::unordered_set<std::string>& allowed) const;

    // The extras items whose name, summary, kind and stage hold every token of the query, in
    // feed order.
    static std::vector<ExtrasItem> searchExtras(const CatalogExtras& extras, std::string_view query);

    // The query folded and split at spaces, empty pieces dropped.
    static std::vector<std::string> tokens(std::string_view query);

private:
    struct Entry {
        ProductRef product;
        size_t start = 0;  // of its text in `texts_`
        size_t length = 0; // of its text
    };

    // Where the entry holding byte `offset` of `texts_` ends; moves `position` forward to it.
    size_t entryHolding(size_t offset, size_t& position) const;

    std::vector<Entry> entries_;
    // Every text, each followed by a byte that no UTF-8 text holds, so that one pass over the
    // whole buffer finds the first token and no match runs from one text into the next.
    std::string texts_;
    std::vector<size_t> byName_; // entry positions by name in code-point order, equal names in index order
};

} // namespace ostrel::hub
