#include "DemoCatalogue.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace ostrel::demo {

namespace {

using nlohmann::json;

const std::map<std::string, std::string>& bundleExtensions() {
    static const std::map<std::string, std::string> extensions{
        {"VST3", ".vst3"}, {"AU", ".component"}, {"CLAP", ".clap"}, {"VST", ".vst"}};
    return extensions;
}

PriceMap prices(const json& object) {
    PriceMap map;
    for (const auto& [currency, amount] : object.items())
        map.emplace(currency, amount.get<double>());
    return map;
}

// A variation as the catalogue writes it: the original price defaults to the price, a
// discount is any lower price, and a price without recurrence is paid once.
PricingVariation variationFrom(const json& object) {
    PricingVariation variation{
        .id = object.at("id").get<std::string>(),
        .name = object.at("name").get<std::string>(),
        .originalPrice = {},
        .price = prices(object.at("price")),
        .hasDiscount = false,
        .recurrence = {.type = "OneTime", .cycleLength = std::nullopt},
    };
    variation.originalPrice = object.contains("originalPrice") ? prices(object["originalPrice"]) : variation.price;
    for (const auto& [currency, amount] : variation.price)
        variation.hasDiscount = variation.hasDiscount || amount < variation.originalPrice[currency];
    if (object.contains("recurrence")) {
        variation.recurrence.type = object["recurrence"].at("type").get<std::string>();
        if (object["recurrence"].contains("cycleLength"))
            variation.recurrence.cycleLength = object["recurrence"]["cycleLength"].get<std::string>();
    }
    return variation;
}

std::vector<PricingVariation> variationsFrom(const json& object) {
    std::vector<PricingVariation> variations;
    for (const auto& entry : object.at("variations"))
        variations.push_back(variationFrom(entry));
    if (variations.empty())
        throw std::invalid_argument("no variations");
    return variations;
}

std::optional<std::string> optionalText(const json& object, const char* key) {
    if (!object.contains(key))
        return std::nullopt;
    return object[key].get<std::string>();
}

CatalogueReview reviewFrom(const json& object) {
    CatalogueReview review{
        .rating = object.at("rating").get<int>(),
        .title = object.at("title").get<std::string>(),
        .body = object.at("body").get<std::string>(),
        .displayName = object.at("displayName").get<std::string>(),
        .verifiedPurchase = object.value("verifiedPurchase", false),
        .createdAt = optionalText(object, "createdAt"),
        .updatedAt = optionalText(object, "updatedAt"),
        .edited = object.value("edited", false),
    };
    if (review.rating < 1 || review.rating > 5)
        throw std::invalid_argument("a review's rating is not 1 to 5");
    return review;
}

CatalogueProduct productFrom(const json& object) {
    CatalogueProduct product{
        .id = object.at("id").get<std::string>(),
        .name = object.at("name").get<std::string>(),
        .tagline = object.at("tagline").get<std::string>(),
        .description = object.value("description", ""),
        .category = object.value("category", ""),
        .kind = object.at("kind").get<std::string>(),
        .formats = object.value("formats", std::vector<std::string>{}),
        .release = object.value("release", object.at("kind") == "app" ? "dmg" : "pkg"),
        .version = object.at("version").get<std::string>(),
        .releaseNotes = object.value("releaseNotes", ""),
        .colour = object.at("colour").get<Colour>(),
        .screenshots = object.value("screenshots", 0),
        .platforms = object.value("platforms", std::vector<std::string>{"Mac"}),
        .variations = variationsFrom(object),
        .reviews = {},
    };
    for (const auto& review : object.value("reviews", json::array()))
        product.reviews.push_back(reviewFrom(review));
    if (product.kind != "plugin" && product.kind != "app")
        throw std::invalid_argument("kind must be \"plugin\" or \"app\"");
    for (const auto& format : product.formats)
        if (!bundleExtensions().contains(format))
            throw std::invalid_argument("unknown plug-in format \"" + format + "\"");
    if (product.release != "pkg" && product.release != "zip" && product.release != "dmg")
        throw std::invalid_argument("release must be \"pkg\", \"zip\" or \"dmg\"");
    if (product.kind == "plugin" && product.formats.empty())
        throw std::invalid_argument("a plug-in needs at least one format");
    return product;
}

CatalogueBundle bundleFrom(const json& object) {
    return CatalogueBundle{
        .id = object.at("id").get<std::string>(),
        .name = object.at("name").get<std::string>(),
        .tagline = object.at("tagline").get<std::string>(),
        .description = object.value("description", ""),
        .colour = object.at("colour").get<Colour>(),
        .products = object.at("products").get<std::vector<std::string>>(),
        .variations = variationsFrom(object),
    };
}

CatalogueCustomer customerFrom(const json& object) {
    return CatalogueCustomer{
        .id = object.at("id").get<std::string>(),
        .email = object.at("email").get<std::string>(),
        .name = object.at("name").get<std::string>(),
        .password = object.at("password").get<std::string>(),
        .owns = object.value("owns", std::vector<std::string>{}),
    };
}

// Every product a customer owns or a bundle holds must exist.
void checkReferences(const DemoCatalogue& catalogue) {
    for (const auto& customer : catalogue.customers)
        for (const auto& id : customer.owns)
            if (!catalogue.product(id))
                throw std::invalid_argument(customer.email + " owns the unknown product \"" + id + "\"");
    for (const auto& bundle : catalogue.bundles)
        for (const auto& id : bundle.products)
            if (!catalogue.product(id))
                throw std::invalid_argument(bundle.id + " holds the unknown product \"" + id + "\"");
}

template <class T, class F>
std::vector<T> listOf(const json& array, const char* what, F read) {
    std::vector<T> list;
    for (const auto& entry : array) {
        try {
            list.push_back(read(entry));
        } catch (const std::exception& e) {
            throw std::invalid_argument(std::string(what) + " " + entry.value("id", "?") + ": " + e.what());
        }
    }
    return list;
}

} // namespace

std::vector<std::string> CatalogueProduct::bundleNames() const {
    if (kind == "app")
        return {name + ".app"};
    std::vector<std::string> names;
    for (const auto& format : formats)
        names.push_back(name + bundleExtensions().at(format));
    return names;
}

bool CatalogueProduct::isFree() const {
    const auto& price = variations.front().price;
    return std::all_of(price.begin(), price.end(), [](const auto& entry) { return entry.second == 0.0; });
}

DemoCatalogue DemoCatalogue::parse(std::string_view text) {
    const auto object = json::parse(text);
    DemoCatalogue catalogue{
        .suggestedCurrency = object.at("suggestedCurrency").get<std::string>(),
        .currencies = object.at("currencies").get<std::vector<std::string>>(),
        .customers = listOf<CatalogueCustomer>(object.at("customers"), "customer", customerFrom),
        .products = listOf<CatalogueProduct>(object.at("products"), "product", productFrom),
        .bundles = listOf<CatalogueBundle>(object.value("bundles", json::array()), "bundle", bundleFrom),
        .moderatedWords = object.value("moderatedWords", std::vector<std::string>{}),
        .identity = object.value("identity", json::object()),
        .extras = object.value("extras", json{{"version", 1}}),
    };
    checkReferences(catalogue);
    return catalogue;
}

DemoCatalogue DemoCatalogue::load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in)
        throw std::runtime_error("cannot read the catalogue " + file.string());
    try {
        return parse(text.str());
    } catch (const std::exception& e) {
        throw std::runtime_error("the catalogue " + file.string() + " cannot be used: " + e.what());
    }
}

const CatalogueProduct* DemoCatalogue::product(std::string_view id) const {
    const auto found = std::find_if(products.begin(), products.end(), [&](const auto& p) { return p.id == id; });
    return found == products.end() ? nullptr : &*found;
}

const CatalogueBundle* DemoCatalogue::bundle(std::string_view id) const {
    const auto found = std::find_if(bundles.begin(), bundles.end(), [&](const auto& b) { return b.id == id; });
    return found == bundles.end() ? nullptr : &*found;
}

const PricingVariation* DemoCatalogue::variation(std::string_view ownerId, std::string_view variationId) const {
    const std::vector<PricingVariation>* variations = nullptr;
    if (const auto* p = product(ownerId))
        variations = &p->variations;
    else if (const auto* b = bundle(ownerId))
        variations = &b->variations;
    if (!variations)
        return nullptr;
    const auto found =
        std::find_if(variations->begin(), variations->end(), [&](const auto& v) { return v.id == variationId; });
    return found == variations->end() ? nullptr : &*found;
}

} // namespace ostrel::demo
