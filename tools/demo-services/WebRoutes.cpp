// The maker's site (the extras feed with its release pages, screenshots, the checkout return
// page, product pages) and the store's asset host (icons). Pictures are drawn on first request
// and kept in the state folder.
#include "DemoRoutes.h"
#include "DemoText.h"
#include "PngImage.h"
#include "RouteSupport.h"

#include <algorithm>
#include <cstdio>

namespace ostrel::demo {

namespace {

using nlohmann::json;

constexpr const char* feedPath = "/downloads/ostrel-catalog-extras.json";
constexpr const char* webPlaceholder = "{web}";

std::string screenshotUrl(const DemoContext& c, const std::string& id, int number) {
    return DemoHosts::https(c.hosts.web) + "/images/" + id + "/screenshot-" + std::to_string(number) + ".png";
}

// The catalogue's extras with "{web}" filled in, and the screenshots of every product as media
// beside the catalogue's own media entries.
json extrasFeed(const DemoContext& c) {
    std::string text = c.catalogue.extras.dump();
    for (auto at = text.find(webPlaceholder); at != std::string::npos; at = text.find(webPlaceholder, at))
        text.replace(at, std::string_view(webPlaceholder).size(), DemoHosts::https(c.hosts.web));
    json feed = json::parse(text);
    json media = json::object();
    for (const auto& product : c.catalogue.products) {
        json shots = json::array();
        for (int n = 1; n <= product.screenshots; ++n)
            shots.push_back(screenshotUrl(c, product.id, n));
        media[product.id] = {{"screenshots", shots}};
    }
    if (feed.contains("media") && feed["media"].is_object())
        media.update(feed["media"]);
    feed["media"] = media;
    return feed;
}

// The extras item with this id: its "id", else its name (or title) in lower case with "-" for blanks.
std::optional<json> extrasItem(const DemoContext& c, const std::string& id) {
    for (const auto& item : c.catalogue.extras.value("items", json::array())) {
        if (!item.is_object())
            continue;
        auto derived = lowercased(textOf(item, "name").value_or(textOf(item, "title").value_or("")));
        std::replace(derived.begin(), derived.end(), ' ', '-');
        const auto own = textOf(item, "id").value_or("");
        if ((own.empty() ? derived : own) == id)
            return item;
    }
    return std::nullopt;
}

// A stable hash (FNV-1a), so that a picture drawn from it is the same in every run.
uint32_t stableHash(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (const unsigned char byte : text)
        hash = (hash ^ byte) * 16777619u;
    return hash;
}

// Products and bundles use their own colour; anything else (extras) one derived from its name.
Colour colourOf(const DemoContext& c, const std::string& id) {
    if (const auto* product = c.catalogue.product(id))
        return product->colour;
    if (const auto* bundle = c.catalogue.bundle(id))
        return bundle->colour;
    const auto hash = stableHash(id);
    return {static_cast<uint8_t>(64 + (hash & 0x7f)), static_cast<uint8_t>(64 + ((hash >> 8) & 0x7f)),
            static_cast<uint8_t>(64 + ((hash >> 16) & 0x7f))};
}

// Products take the motifs in turn, so neighbours in the catalogue differ; others by hash.
unsigned motifOf(const DemoContext& c, const std::string& id) {
    for (size_t i = 0; i < c.catalogue.products.size(); ++i)
        if (c.catalogue.products[i].id == id)
            return static_cast<unsigned>(i);
    return stableHash(id);
}

bool hasIcon(const DemoContext& c, const std::string& id) {
    return c.catalogue.product(id) || c.catalogue.bundle(id) ||
           c.catalogue.extras.dump().find("/images/" + id + "/icon.png\"") != std::string::npos;
}

std::string hexOf(Colour colour) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", colour[0], colour[1], colour[2]);
    return text;
}

void addImageRoutes(HostRouter& router, DemoContext& c, const std::string& host) {
    router.get(host, "/images/([a-z0-9-]+)/icon.png", [&c](const auto& request, auto& response) {
        const auto id = request.matches[1].str();
        if (!hasIcon(c, id))
            return sendProblem(response, 404, "Icon " + request.path);
        const auto colour = colourOf(c, id);
        const auto motif = motifOf(c, id);
        const auto name = id + "-icon-" + hexOf(colour) + "-" + std::to_string(motif) + ".png";
        response.set_content(c.images.get(name, [&] { return PngImage::icon(colour, motif); }), "image/png");
    });
    router.get(host, "/images/([a-z0-9-]+)/screenshot-([1-9]).png", [&c](const auto& request, auto& response) {
        const auto* product = c.catalogue.product(request.matches[1].str());
        const int number = std::stoi(request.matches[2].str());
        if (!product || number > product->screenshots)
            return sendProblem(response, 404, "Screenshot " + request.path);
        const auto name = product->id + "-screenshot-" + std::to_string(number) + "-" + hexOf(product->colour) + ".png";
        response.set_content(c.images.get(name, [&] { return PngImage::screenshot(product->colour, number); }),
                             "image/png");
    });
}

void addPageRoutes(HostRouter& router, DemoContext& c) {
    router.get(c.hosts.web, "/hub/checkout-complete", [](const auto&, auto& response) {
        sendHtml(response, "Ostrel Hub",
                 "<h1>Payment complete</h1><p>Return to Ostrel Hub: your purchase appears there in a moment.</p>");
    });
    router.get(c.hosts.web, "/products/([a-z0-9-]+)", [&c](const auto& request, auto& response) {
        const auto* product = c.catalogue.product(request.matches[1].str());
        if (!product)
            return sendHtml(response, "Ostrel", "<h1>There is no such product.</h1>", 404);
        sendHtml(response, product->name,
                 "<h1>" + htmlEscaped(product->name) + "</h1><p>" + htmlEscaped(product->tagline) + "</p><p>" +
                     htmlEscaped(product->description) + "</p>");
    });
    // The release page of an extra that is installed from the browser.
    router.get(c.hosts.web, "/extras/([a-z0-9-]+)", [&c](const auto& request, auto& response) {
        const auto item = extrasItem(c, request.matches[1].str());
        if (!item)
            return sendHtml(response, "Ostrel", "<h1>There is no such extra.</h1>", 404);
        const auto name = textOf(*item, "name").value_or(textOf(*item, "title").value_or(""));
        const auto summary = textOf(*item, "summary").value_or(textOf(*item, "tagline").value_or(""));
        sendHtml(response, name,
                 "<h1>" + htmlEscaped(name) + "</h1><p>" + htmlEscaped(summary) +
                     "</p><p>The download of this demo extra is a page only.</p>");
    });
}

} // namespace

void addWebRoutes(HostRouter& router, DemoContext& context) {
    auto& c = context;
    router.get(c.hosts.web, feedPath, [&c](const auto&, auto& response) { sendJson(response, extrasFeed(c)); });
    addImageRoutes(router, c, c.hosts.web);
    addImageRoutes(router, c, c.hosts.assets);
    addPageRoutes(router, c);
}

} // namespace ostrel::demo
