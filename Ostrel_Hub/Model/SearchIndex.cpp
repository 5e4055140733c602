#include "Model/SearchIndex.h"

#include "Model/ByteSearch.h"
#include "Model/Catalog.h"
#include "Model/SearchFolding.h"

#include <algorithm>
#include <initializer_list>
#include <numeric>
#include <span>

namespace ostrel::hub {

namespace {

// Never part of UTF-8, and folded texts are always UTF-8.
constexpr char separator = '\xFF';

bool holdsAll(std::string_view text, std::span<const std::string> tokens) {
    return std::all_of(tokens.begin(), tokens.end(), [&](const std::string& token) {
        return ByteSearch::find(text, token) != std::string_view::npos;
    });
}

// The texts folded one by one and joined with single spaces: the same as folding the joined
// text, since folding never reaches across a space.
void appendFoldedJoin(std::string& out, std::initializer_list<std::string_view> texts) {
    bool first = true;
    for (const auto text : texts) {
        if (!first)
            out.push_back(' ');
        first = false;
        out += SearchFolding::fold(text);
    }
}

// The hits of a query, by entry position: not a hit, a hit, or a hit whose name leads.
enum class Hit : unsigned char { none, other, leading };

} // namespace

void SearchIndex::rebuild(std::shared_ptr<const Storefront> storefront) {
    entries_.clear();
    texts_.clear();
    byName_.clear();
    if (!storefront)
        return;
    entries_.reserve(storefront->products.size());
    for (const auto& product : storefront->products) {
        const auto catalog = Catalog::entry(product.id);
        Entry entry{.product = ProductRef(storefront, &product), .start = texts_.size()};
        appendFoldedJoin(texts_, {product.name, product.tagline, product.description.value_or(""), catalog.category,
                                  rawValue(catalog.kind), catalog.formats});
        entry.length = texts_.size() - entry.start;
        texts_.push_back(separator);
        entries_.push_back(std::move(entry));
    }
    byName_.resize(entries_.size());
    std::iota(byName_.begin(), byName_.end(), size_t{0});
    std::stable_sort(byName_.begin(), byName_.end(),
                     [&](size_t a, size_t b) { return entries_[a].product->name < entries_[b].product->name; });
}

std::string_view SearchIndex::text(size_t position) const {
    const auto& entry = entries_.at(position);
    return std::string_view(texts_).substr(entry.start, entry.length);
}

size_t SearchIndex::entryHolding(size_t offset, size_t& position) const {
    while (entries_[position].start + entries_[position].length < offset)
        ++position;
    return entries_[position].start + entries_[position].length;
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

// One pass over all texts finds the entries holding the first token; only those are checked for
// the rest. Walking the hits in name order then gives each group its order with no sort.
std::vector<SearchIndex::ProductRef> SearchIndex::results(std::string_view query,
                                                          const std::unordered_set<std::string>& allowed) const {
    const auto wanted = tokens(query);
    if (wanted.empty())
        return {};
    const std::string_view all(texts_);
    std::vector<Hit> hits(entries_.size(), Hit::none);
    size_t position = 0;
    for (size_t found = ByteSearch::find(all, wanted.front()); found != std::string_view::npos;) {
        const size_t end = entryHolding(found, position);
        const Entry& entry = entries_[position];
        // A match at the very start lies within the folded name, as no token holds a space.
        if (holdsAll(text(position), std::span(wanted).subspan(1)) && allowed.contains(entry.product->id))
            hits[position] = found == entry.start ? Hit::leading : Hit::other;
        found = ByteSearch::find(all, wanted.front(), end + 1);
    }
    std::vector<ProductRef> products;
    for (const Hit group : {Hit::leading, Hit::other})
        for (const size_t index : byName_)
            if (hits[index] == group)
                products.push_back(entries_[index].product);
    return products;
}

std::vector<ExtrasItem> SearchIndex::searchExtras(const CatalogExtras& extras, std::string_view query) {
    const auto wanted = tokens(query);
    if (wanted.empty())
        return {};
    std::vector<ExtrasItem> found;
    for (const auto& item : extras.items) {
        std::string text;
        appendFoldedJoin(text, {item.name, item.summary.value_or(""), item.kind, item.stage.value_or("")});
        if (holdsAll(text, wanted))
            found.push_back(item);
    }
    return found;
}

} // namespace ostrel::hub
