#include "Catalog/CatalogExtras.h"

#include "Catalog/BoundedJson.h"
#include "Services/Lenient.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

namespace ostrel {

namespace {

// Only a JSON object is handed to the parser.
bool startsWithObject(std::string_view bytes) {
    const auto first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && bytes[first] == '{';
}

// The items that decoded and have an id and a name, the first of each id only.
std::vector<ExtrasItem> usableItems(const std::vector<Lenient<ExtrasItem>>& decoded) {
    std::vector<ExtrasItem> items;
    std::unordered_set<std::string> ids;
    for (const auto& entry : decoded) {
        const auto& item = entry.value;
        if (item && !item->id.empty() && !item->name.empty() && ids.insert(item->id).second)
            items.push_back(*item);
    }
    return items;
}

std::map<std::string, ProductMedia> usableMedia(const std::map<std::string, Lenient<ProductMedia>>& decoded) {
    std::map<std::string, ProductMedia> media;
    for (const auto& [product, entry] : decoded)
        if (entry.value)
            media.emplace(product, *entry.value);
    return media;
}

std::vector<ExtrasItem> onShelf(const std::vector<ExtrasItem>& items, ExtrasItem::Shelf shelf) {
    std::vector<ExtrasItem> chosen;
    std::copy_if(items.begin(), items.end(), std::back_inserter(chosen),
                 [&](const ExtrasItem& item) { return item.shelf() == shelf; });
    return chosen;
}

} // namespace

void readJson(const JsonReader& in, ProductMedia& out) {
    out.screenshots.clear();
    const auto listed = in.optional<std::vector<Lenient<std::string>>>("screenshots");
    for (const auto& entry : listed.value_or(std::vector<Lenient<std::string>>{}))
        if (entry.value)
            out.screenshots.push_back(*entry.value);
}

void to_json(nlohmann::json& json, const ProductMedia& media) {
    json = {{"screenshots", media.screenshots}};
}

Url CatalogExtras::feedURL(std::string_view webHost) {
    return Url("https://" + std::string(webHost) + "/downloads/ostrel-catalog-extras.json");
}

std::optional<CatalogExtras> CatalogExtras::decode(std::string_view bytes) {
    if (!startsWithObject(bytes))
        return std::nullopt;
    const auto parsed = BoundedJson::parse(bytes);
    if (!parsed)
        return std::nullopt;
    try {
        const JsonReader feed(*parsed);
        if (feed.optional<int64_t>("version") != currentVersion)
            return std::nullopt;
        const auto items = feed.optional<std::vector<Lenient<ExtrasItem>>>("items");
        const auto media = feed.optional<std::map<std::string, Lenient<ProductMedia>>>("media");
        return CatalogExtras{
            .version = currentVersion,
            .items = items ? usableItems(*items) : std::vector<ExtrasItem>{},
            .media = media ? usableMedia(*media) : std::map<std::string, ProductMedia>{},
        };
    } catch (const DecodingError&) {
        return std::nullopt; // "items" or "media" of the wrong type spoil the whole feed
    }
}

std::vector<ExtrasItem> CatalogExtras::freeTools() const {
    return onShelf(items, ExtrasItem::Shelf::freeTools);
}

std::vector<ExtrasItem> CatalogExtras::earlyAccess() const {
    return onShelf(items, ExtrasItem::Shelf::earlyAccess);
}

std::vector<Url> CatalogExtras::screenshots(const std::string& productId, const HostPolicy& policy) const {
    std::vector<Url> allowed;
    const auto found = media.find(productId);
    if (found == media.end())
        return allowed;
    for (const auto& text : found->second.screenshots)
        if (auto url = Url::parse(text); url && policy.allowsImage(*url))
            allowed.push_back(std::move(*url));
    return allowed;
}

void readJson(const JsonReader& in, CatalogExtras& out) {
    out = {
        .version = in.required<int64_t>("version"),
        .items = in.required<std::vector<ExtrasItem>>("items"),
        .media = in.required<std::map<std::string, ProductMedia>>("media"),
    };
}

void to_json(nlohmann::json& json, const CatalogExtras& extras) {
    json = {{"version", extras.version}, {"items", extras.items}, {"media", extras.media}};
}

} // namespace ostrel
