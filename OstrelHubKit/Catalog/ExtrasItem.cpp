#include "Catalog/ExtrasItem.h"

#include "Services/HostPolicy.h"

#include <algorithm>
#include <initializer_list>

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace ostrel {

namespace {

// Full Unicode lower case, independent of the user's language, as names may be in any script.
std::string lowercased(std::string_view text) {
    std::string lower;
    icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())))
        .toLower(icu::Locale::getRoot())
        .toUTF8String(lower);
    return lower;
}

bool containsAny(std::string_view text, std::initializer_list<std::string_view> words) {
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view word) { return text.find(word) != std::string_view::npos; });
}

// A member of the wrong type counts as absent.
std::optional<std::string> stringMember(const JsonReader& object, std::string_view key) {
    const auto found = object.find(key);
    if (!found || found->kind() != JsonTree::Kind::string)
        return std::nullopt;
    return found->asString();
}

// The first of `keys` present as a string.
std::optional<std::string> firstString(const JsonReader& object, std::initializer_list<std::string_view> keys) {
    for (const auto key : keys)
        if (auto value = stringMember(object, key))
            return value;
    return std::nullopt;
}

bool boolMember(const JsonReader& object, std::string_view key) {
    const auto found = object.find(key);
    return found && found->kind() == JsonTree::Kind::boolean && found->asBool();
}

// An identifier made from a display name: "Pitch Pong" becomes "pitch-pong".
std::string identifierFromName(std::string_view name) {
    auto id = lowercased(name);
    std::replace(id.begin(), id.end(), ' ', '-');
    return id;
}

} // namespace

ExtrasItem::InstallRoute ExtrasItem::InstallRoute::hub(std::string productId) {
    return {.kind = Kind::hub, .productId = std::move(productId), .url = std::nullopt};
}

ExtrasItem::InstallRoute ExtrasItem::InstallRoute::browser(Url url) {
    return {.kind = Kind::browser, .productId = {}, .url = std::move(url)};
}

ExtrasItem::Shelf ExtrasItem::shelf() const {
    const bool earlyKind = containsAny(lowercased(kind), {"game", "early"});
    const bool earlyStage = stage && containsAny(lowercased(*stage), {"early", "alpha", "preview"});
    return earlyKind || earlyStage ? Shelf::earlyAccess : Shelf::freeTools;
}

std::optional<Url> ExtrasItem::releaseURL() const {
    if (!releaseUrl)
        return std::nullopt;
    auto url = Url::parse(*releaseUrl);
    if (!url || !HostPolicy::isPlainHTTPS(*url))
        return std::nullopt;
    return url;
}

ExtrasItem::InstallRoute ExtrasItem::installRoute(const StoreHasMacDownload& storeHasMacDownload) const {
    if (signedByOstrel) {
        const std::string& product = productId ? *productId : id;
        if (storeHasMacDownload(product))
            return InstallRoute::hub(product);
    }
    if (auto url = releaseURL())
        return InstallRoute::browser(std::move(*url));
    return InstallRoute::unavailable();
}

std::string_view rawValue(ExtrasItem::Shelf shelf) {
    return shelf == ExtrasItem::Shelf::earlyAccess ? "earlyAccess" : "freeTools";
}

void readJson(const JsonReader& in, ExtrasItem& out) {
    in.expectObject();
    out.name = firstString(in, {"name", "title"}).value_or("");
    out.id = stringMember(in, "id").value_or(identifierFromName(out.name));
    out.kind = stringMember(in, "kind").value_or("tool");
    out.stage = stringMember(in, "stage");
    out.summary = firstString(in, {"summary", "tagline", "description"});
    out.releaseUrl = stringMember(in, "releaseUrl");
    out.iconUrl = stringMember(in, "iconUrl");
    out.signedByOstrel = boolMember(in, "signedByOstrel");
    out.productId = stringMember(in, "productId");
}

void to_json(nlohmann::json& json, const ExtrasItem& item) {
    json = {{"id", item.id}, {"name", item.name}, {"kind", item.kind}, {"signedByOstrel", item.signedByOstrel}};
    writeOptional(json, "stage", item.stage);
    writeOptional(json, "summary", item.summary);
    writeOptional(json, "releaseUrl", item.releaseUrl);
    writeOptional(json, "iconUrl", item.iconUrl);
    writeOptional(json, "productId", item.productId);
}

} // namespace ostrel
