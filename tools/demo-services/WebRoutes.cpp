// The maker's site (the extras feed, screenshots, the checkout return page, product pages) and
// the store's asset host (icons). Every picture is drawn on request.
#include "DemoRoutes.h"
#include "PngImage.h"
#include "RouteSupport.h"

#include <functional>

namespace ostrel::demo {

namespace {

using nlohmann::json;

constexpr const char* feedPath = "/downloads/ostrel-catalog-extras.json";

std::string screenshotUrl(const DemoContext& c, const std::string& id, int number) {
    return DemoHosts::https(c.hosts.web) + "/images/" + id + "/screenshot-" + std::to_string(number) + ".png";
}

// The catalogue's extras with "{web}" filled in, and the screenshots of every product as media.
json extrasFeed(const DemoContext& c) {
    const std::string placeholder = "{web}";
    std::string text = c.catalogue.extras.dump();
    for (auto at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at))
        text.replace(at, placeholder.size(), DemoHosts::https(c.hosts.web));
    json feed = json::parse(text);
    if (!feed.contains("media")) {
        feed["media"] = json::object();
        for (const auto& product : c.catalogue.products) {
            json shots = json::array();
            for (int n = 1; n <= product.screenshots; ++n)
                shots.push_back(screenshotUrl(c, product.id, n));
            feed["media"][product.id] = {{"screenshots", shots}};
        }
    }
    return feed;
}

// Products and bundles use their own colour; anything else (extras) one derived from its name.
Colour colourOf(const DemoContext& c, const std::string& id) {
    if (const auto* product = c.catalogue.product(id))
        return product->colour;
    if (const auto* bundle = c.catalogue.bundle(id))
        return bundle->colour;
    const auto hash = std::hash<std::string>{}(id);
    return {static_cast<uint8_t>(hash), static_cast<uint8_t>(hash >> 8), static_cast<uint8_t>(hash >> 16)};
}

void addImageRoutes(HostRouter& router, DemoContext& c, const std::string& host) {
    router.get(host, "/images/([a-z0-9-]+)/icon.png", [&c](const auto& request, auto& response) {
        response.set_content(PngImage::icon(colourOf(c, request.matches[1].str())), "image/png");
    });
    router.get(host, "/images/([a-z0-9-]+)/screenshot-([1-9]).png", [&c](const auto& request, auto& response) {
        const auto* product = c.catalogue.product(request.matches[1].str());
        const int number = std::stoi(request.matches[2].str());
        if (!product || number > product->screenshots)
            return sendProblem(response, 404, "Screenshot " + request.path);
        response.set_content(PngImage::screenshot(product->colour, number), "image/png");
    });
}

} // namespace

void addWebRoutes(HostRouter& router, DemoContext& context) {
    auto& c = context;
    router.get(c.hosts.web, feedPath, [&c](const auto&, auto& response) { sendJson(response, extrasFeed(c)); });
    addImageRoutes(router, c, c.hosts.web);
    addImageRoutes(router, c, c.hosts.assets);
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
}

} // namespace ostrel::demo
