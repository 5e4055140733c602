#include "Model/SearchIndex.h"

#include "Model/Catalog.h"
#include "Model/SearchFolding.h"

#include <algorithm>
#include <initializer_list>

namespace ostrel::hub {

namespace {

bool holdsAll(std::string_view text, const std::vector<std::string>& tokens) {
    return std::all_of(tokens.begin(), tokens.end(),
                       [&](const std::string& token) { return text.find(token) != std::string_view::npos; });
}

// The texts folded one by one and joined with single spaces: the same as folding the joined
// text, since folding never reaches across a space.
std::string foldedJoin(std::initializer_list<std::string_view> texts) {
    std::string joined;
    bool first = true;
    for (const auto text : texts) {
        if (!first)
            joined.push_back(' ');
        first = false;
        joined += SearchFolding::fold(text);
    }
    return joined;
}

SearchIndex::Entry entryFor(SearchIndex::ProductRef product) {
    const auto catalog = Catalog::entry(product->id);
    std::string name = SearchFolding::fold(product->name);
    const size_t nameLength = name.size();
    const std::string rest = foldedJoin({product->tagline, product->description.value_or(""), catalog.category,
                                         rawValue(catalog.kind), catalog.formats});
    return {.product = std::move(product), .text = std::move(name) + ' ' + rest, .nameLength = nameLength};
}

bool nameStartsWith(const SearchIndex::Entry& entry, std::string_view token) {
    return token.size() <= entry.nameLength && std::string_view(entry.text).starts_with(token);
}

} // namespace

void SearchIndex::rebuild(std::shared_ptr<const Storefront> storefront) {
    entries_.clear();
    if (!storefront)
        return;
    entries_.reserve(storefront->products.size());
    for (const auto& product : storefront->products)
        entries_.push_back(entryFor(ProductRef(storefront, &product)));
}

std::vector<std::string> SearchIndex::tokens(std::string_view query) {
    const std::string folded = SearchFolding::fold(query);
    std::vector<std::string> pieces;
    for (size_t start = 0; start <= folded.size();) {
        const size_t end = std::min(folded.find(' ', start), folded.size());
        if (end > start)
            pieces.push_back(folded.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::vector<SearchIndex::ProductRef> SearchIndex::results(std::string_view query,
                                                          const std::unordered_set<std::string>& allowed) const {
    const auto wanted = tokens(query);
    if (wanted.empty())
        return {};
    std::vector<const Entry*> hits;
    for (const auto& entry : entries_)
        if (allowed.contains(entry.product->id) && holdsAll(entry.text, wanted))
            hits.push_back(&entry);
    std::stable_sort(hits.begin(), hits.end(), [&](const Entry* a, const Entry* b) {
        const bool aLeads = nameStartsWith(*a, wanted.front());
        const bool bLeads = nameStartsWith(*b, wanted.front());
        if (aLeads != bLeads)
            return aLeads;
        return a->product->name < b->product->name;
    });
    std::vector<ProductRef> products;
    products.reserve(hits.size());
    for (const auto* hit : hits)
        products.push_back(hit->product);
    return products;
}

std::vector<ExtrasItem> SearchIndex::searchExtras(const CatalogExtras& extras, std::string_view query) {
    const auto wanted = tokens(query);
    if (wanted.empty())
        return {};
    std::vector<ExtrasItem> found;
    for (const auto& item : extras.items)
        if (holdsAll(foldedJoin({item.name, item.summary.value_or(""), item.kind, item.stage.value_or("")}), wanted))
            found.push_back(item);
    return found;
}

} // namespace ostrel::hub
