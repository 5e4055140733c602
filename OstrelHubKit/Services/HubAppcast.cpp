#include "Services/HubAppcast.h"

#include "Util/Base64.h"

#include <nlohmann/json.hpp>

namespace ostrel {
namespace {

using nlohmann::json;

// The deepest nesting reached is checked while the parser reads, so a deep document stops at
// once instead of being built first.
json boundedParse(std::string_view body) {
    const json::parser_callback_t depthGuard = [](int depth, json::parse_event_t event, json&) {
        const bool opens = event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
        if (opens && static_cast<std::size_t>(depth) >= HubAppcast::maxDepth)
            throw HubAppcastError("the feed nests deeper than " + std::to_string(HubAppcast::maxDepth) + " levels");
        return true;
    };
    try {
        return json::parse(body.begin(), body.end(), depthGuard);
    } catch (const json::exception& e) {
        throw HubAppcastError(std::string("the feed is not JSON: ") + e.what());
    }
}

std::string text(const json& item, const char* key, bool required) {
    const auto found = item.find(key);
    if (found == item.end() && !required)
        return {};
    if (found == item.end() || !found->is_string())
        throw HubAppcastError(std::string("an item has no text \"") + key + "\"");
    const auto& value = found->get_ref<const std::string&>();
    if (value.size() > HubAppcast::maxTextBytes || (required && value.empty()))
        throw HubAppcastError(std::string("an item's \"") + key + "\" is empty or too long");
    return value;
}

HubAppcast::Item itemOf(const json& item) {
    if (!item.is_object())
        throw HubAppcastError("an item is not an object");
    HubAppcast::Item read{.version = text(item, "version", true),
                          .url = text(item, "url", true),
                          .length = 0,
                          .signature = {},
                          .notes = text(item, "notes", false)};
    const auto length = item.find("length");
    if (length == item.end() || !length->is_number_integer() || length->get<int64_t>() < 1 ||
        length->get<int64_t>() > HubAppcast::maxDownloadBytes)
        throw HubAppcastError("item " + read.version + " has no usable \"length\"");
    read.length = length->get<int64_t>();
    const auto signature = base64Decode(text(item, "ed25519", true));
    if (!signature || signature->size() != 64)
        throw HubAppcastError("item " + read.version + " has no usable \"ed25519\" signature");
    read.signature = *signature;
    return read;
}

} // namespace

HubAppcastError::HubAppcastError(std::string detail)
    : Error("The update feed of Ostrel Hub could not be read."), detail_(std::move(detail)) {}

HubAppcast::Envelope HubAppcast::split(std::string_view text) {
    if (text.size() > maxBytes)
        throw HubAppcastError("the feed is larger than " + std::to_string(maxBytes) + " bytes");
    const auto newline = text.find('\n');
    if (!text.starts_with(signaturePrefix) || newline == std::string_view::npos)
        throw HubAppcastError("the feed does not start with its signature line");
    const auto encoded = text.substr(signaturePrefix.size(), newline - signaturePrefix.size());
    const auto signature = base64Decode(encoded);
    if (!signature || signature->size() != 64)
        throw HubAppcastError("the feed's signature line holds no signature");
    return {*signature, text.substr(newline + 1)};
}

HubAppcast HubAppcast::parse(std::string_view body) {
    const json document = boundedParse(body);
    if (!document.is_object() || document.value("product", std::string()) != product)
        throw HubAppcastError("the feed is not one of " + std::string(product));
    const auto items = document.find("items");
    if (items == document.end() || !items->is_array())
        throw HubAppcastError("the feed has no item list");
    if (items->size() > maxItems)
        throw HubAppcastError("the feed lists " + std::to_string(items->size()) + " items, more than " +
                              std::to_string(maxItems));
    HubAppcast feed;
    for (const auto& item : *items)
        feed.items.push_back(itemOf(item));
    return feed;
}

std::string HubAppcast::compose(std::string_view body, std::string_view signature) {
    return std::string(signaturePrefix) + base64Encode(signature) + "\n" + std::string(body);
}

} // namespace ostrel
