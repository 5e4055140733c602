// The store's customer API: accounts, the storefront, the customer's inventory, download links
// and orders, answering with the store's own records.
#include "DemoRoutes.h"
#include "RouteSupport.h"
#include "Services/Paged.h"
#include "Services/ProductSummary.h"
#include "Services/Storefront.h"
#include "Util/Url.h"

#include <algorithm>

namespace ostrel::demo {

namespace {

using nlohmann::json;
using Caller = DemoStore::Caller;

constexpr const char* api = "/api/customer";

std::string iconUrl(const DemoContext& c, const std::string& id) {
    return DemoHosts::https(c.hosts.assets) + "/images/" + id + "/icon.png";
}

std::vector<Download> downloadsOf(const DemoContext& c, const CatalogueProduct& product) {
    std::vector<Download> downloads;
    for (const auto& file : c.releases.filesOf(product.id))
        downloads.push_back(Download{.name = file.fileName,
                                     .key = file.key,
                                     .platform = file.platform,
                                     .size = file.size,
                                     .path = DemoHosts::https(c.hosts.store) + api + "/inventory/products/" +
                                             product.id + "/downloads/" + file.key});
    return downloads;
}

StorefrontProduct storefrontProduct(const DemoContext& c, const CatalogueProduct& p,
                                    const std::set<std::string>& owned) {
    return StorefrontProduct{.id = p.id,
                             .name = p.name,
                             .tagline = p.tagline,
                             .description = p.description,
                             .iconUrl = iconUrl(c, p.id),
                             .website = DemoHosts::https(c.hosts.web) + "/products/" + p.id,
                             .owned = owned.contains(p.id),
                             .currentVersion = p.version,
                             .downloads = downloadsOf(c, p),
                             .defaultVariation = p.variations.front(),
                             .variations = p.variations};
}

StorefrontBundle storefrontBundle(const DemoContext& c, const CatalogueBundle& b, const std::set<std::string>& owned) {
    StorefrontBundle bundle{.id = b.id,
                            .name = b.name,
                            .tagline = b.tagline,
                            .description = b.description,
                            .iconUrl = iconUrl(c, b.id),
                            .owned = false,
                            .partial = false,
                            .products = {},
                            .defaultVariation = b.variations.front(),
                            .variations = b.variations};
    for (const auto& id : b.products)
        bundle.products.push_back(storefrontProduct(c, *c.catalogue.product(id), owned));
    const auto count =
        std::count_if(b.products.begin(), b.products.end(), [&](const auto& id) { return owned.contains(id); });
    bundle.owned = count == static_cast<long>(b.products.size());
    bundle.partial = count > 0 && !bundle.owned;
    return bundle;
}

ProductSummary productSummary(const DemoContext& c, const CatalogueProduct& p) {
    return ProductSummary{.id = p.id,
                          .name = p.name,
                          .tagline = p.tagline,
                          .description = p.description,
                          .iconUrl = iconUrl(c, p.id),
                          .website = DemoHosts::https(c.hosts.web) + "/products/" + p.id,
                          .currentVersion = p.version,
                          .version = p.version,
                          .releaseDescription = p.releaseNotes,
                          .downloadsNeedsUser = true,
                          .downloadsNeedsOwnership = !p.isFree(),
                          .downloads = downloadsOf(c, p)};
}

// The caller of a request; answers 401 itself (and returns none) for a token the store does
// not accept, or for no token where one is required.
std::optional<Caller> callerOf(DemoContext& c, const httplib::Request& request, httplib::Response& response,
                               bool required) {
    const Caller caller = c.store.caller(headerOf(request, "Authorization"));
    if (caller.state == Caller::State::invalid) {
        sendProblem(response, 401, "The access token is not valid or has expired.");
        return std::nullopt;
    }
    if (required && caller.state == Caller::State::anonymous) {
        sendProblem(response, 401, "Sign in to use this.");
        return std::nullopt;
    }
    return caller;
}

void sendSession(httplib::Response& response, const IdentityResponse& session) {
    json body = session;
    sendJson(response, body);
}

void addAccountRoutes(HostRouter& router, DemoContext& c) {
    const auto& host = c.hosts.store;
    router.post(host, std::string(api) + "/identity/sign-in", [&c](const auto& request, auto& response) {
        const auto session = c.store.signIn(queryOf(request, "email").value_or(""), request.body);
        if (!session)
            return sendProblem(response, 401, "Invalid email or password.");
        sendSession(response, *session);
    });
    router.post(host, std::string(api) + "/identity/sign-up", [&c](const auto& request, auto& response) {
        const auto body = jsonObjectOf(request);
        const auto name = body ? textOf(*body, "name") : std::nullopt;
        const auto email = body ? textOf(*body, "email") : std::nullopt;
        const auto password = body ? textOf(*body, "password") : std::nullopt;
        if (!name || !email || !password || email->find('@') == std::string::npos || password->empty())
            return sendProblem(response, 400, "A name, a valid email and a password are needed.");
        if (!body->value("acceptedPrivacyPolicy", false) || !body->value("acceptedTermsAndConditions", false))
            return sendProblem(response, 400, "The privacy policy and the terms must be accepted.");
        const auto session = c.store.signUp(*name, *email, *password);
        if (!session)
            return sendProblem(response, 409, "An account with this email already exists.");
        sendSession(response, *session);
    });
    router.post(host, std::string(api) + "/identity/refresh", [&c](const auto& request, auto& response) {
        const auto session = c.store.refresh(queryOf(request, "token").value_or(""));
        if (!session)
            return sendProblem(response, 401, "The refresh token is not valid.");
        sendSession(response, *session);
    });
    router.post(host, std::string(api) + "/identity/confirm-account", [&c](const auto& request, auto& response) {
        if (!c.store.confirmAccount(queryOf(request, "email").value_or(""), queryOf(request, "code").value_or("")))
            return sendProblem(response, 400, "That confirmation code is not valid.");
        response.status = 200;
    });
    router.post(host, std::string(api) + "/identity/forgot-password", [&c](const auto& request, auto& response) {
        c.store.forgotPassword(queryOf(request, "email").value_or(""));
        response.status = 200;
    });
    router.get(host, std::string(api) + "/meta/user", [&c](const auto& request, auto& response) {
        const auto caller = callerOf(c, request, response, true);
        if (!caller)
            return;
        json body = *c.store.user(caller->customerId);
        sendJson(response, body);
    });
}

void addCatalogueRoutes(HostRouter& router, DemoContext& c) {
    const auto& host = c.hosts.store;
    router.get(host, std::string(api) + "/storefront", [&c](const auto& request, auto& response) {
        const auto caller = callerOf(c, request, response, false);
        if (!caller)
            return;
        const auto owned = c.store.owned(caller->customerId);
        Storefront storefront{.suggestedCurrency = c.catalogue.suggestedCurrency,
                              .enabledCurrencies = c.catalogue.currencies,
                              .products = {},
                              .bundles = {}};
        for (const auto& product : c.catalogue.products)
            storefront.products.push_back(storefrontProduct(c, product, owned));
        for (const auto& bundle : c.catalogue.bundles)
            storefront.bundles.push_back(storefrontBundle(c, bundle, owned));
        json body = storefront;
        sendJson(response, body);
    });
    router.get(host, std::string(api) + "/inventory/products", [&c](const auto& request, auto& response) {
        const auto caller = callerOf(c, request, response, true);
        if (!caller)
            return;
        const auto pageText = queryOf(request, "page").value_or("1");
        if (pageText.empty() || pageText.size() > 6 || pageText.find_first_not_of("0123456789") != std::string::npos ||
            std::stoul(pageText) < 1)
            return sendProblem(response, 400, "The page must be a number from 1.");
        const size_t page = std::stoul(pageText);
        const auto owned = c.store.owned(caller->customerId);
        Paged<ProductSummary> paged;
        size_t index = 0;
        for (const auto& product : c.catalogue.products) {
            if (!owned.contains(product.id))
                continue;
            if (index >= (page - 1) * c.pageSize && index < page * c.pageSize)
                paged.items.push_back(productSummary(c, product));
            ++index;
        }
        paged.hasMore = page * c.pageSize < index;
        if (paged.hasMore)
            paged.next = DemoHosts::https(c.hosts.store) + api + "/inventory/products?page=" + std::to_string(page + 1);
        json body = paged;
        sendJson(response, body);
    });
    router.get(host, std::string(api) + "/inventory/products/([^/]+)", [&c](const auto& request, auto& response) {
        if (!callerOf(c, request, response, false))
            return;
        const auto* product = c.catalogue.product(request.matches[1].str());
        if (!product)
            return sendProblem(response, 404, "Product " + request.matches[1].str());
        json body = productSummary(c, *product);
        sendJson(response, body);
    });
}

// A link to the file on the download host: as JSON with redirect=false, as a redirect otherwise.
void addDownloadLinkRoute(HostRouter& router, DemoContext& c) {
    router.get(c.hosts.store, std::string(api) + "/inventory/products/([^/]+)/downloads/([^/]+)",
               [&c](const auto& request, auto& response) {
                   const auto caller = callerOf(c, request, response, true);
                   if (!caller)
                       return;
                   const auto* product = c.catalogue.product(request.matches[1].str());
                   const auto file = c.releases.find(request.matches[2].str());
                   if (!product || !file || file->productId != product->id)
                       return sendProblem(response, 404, "Download " + request.matches[2].str());
                   if (!product->isFree() && !c.store.owned(caller->customerId).contains(product->id))
                       return sendProblem(response, 403, "You do not own " + product->name + ".");
                   const auto location = DemoHosts::https(c.hosts.downloads) + "/files/" + file->key + "/" +
                                         percentEncode(file->fileName, AllowedCharacters::pathPiece());
                   if (queryOf(request, "redirect") == "false")
                       return sendJson(response, {{"location", location}});
                   redirect(response, location);
               });
}

void addOrderRoutes(HostRouter& router, DemoContext& c) {
    const auto& host = c.hosts.store;
    router.patch(host, std::string(api) + "/orders/([^/]+)", [&c](const auto& request, auto& response) {
        const auto caller = callerOf(c, request, response, false);
        if (!caller)
            return;
        const auto body = jsonObjectOf(request);
        std::vector<OrderLineItem> items;
        try {
            if (!body)
                throw std::invalid_argument("not an object");
            const JsonTree document(*body);
            items = JsonReader(document).required<std::vector<OrderLineItem>>("items");
        } catch (const std::exception&) {
            return sendProblem(response, 400, "The order needs a currency and a list of items.");
        }
        const auto result = c.store.putOrder(request.matches[1].str(), textOf(*body, "currency").value_or(""), items,
                                             queryOf(request, "returnUrl").value_or(""), caller->customerId);
        if (const auto* problem = std::get_if<std::string>(&result))
            return sendProblem(response, 400, *problem);
        json answer = std::get<Order>(result);
        sendJson(response, answer);
    });
    router.get(host, std::string(api) + "/orders/([^/]+)", [&c](const auto& request, auto& response) {
        if (!callerOf(c, request, response, false))
            return;
        const auto order = c.store.order(request.matches[1].str());
        if (!order)
            return sendProblem(response, 404, "Order " + request.matches[1].str());
        json body = *order;
        sendJson(response, body);
    });
}

} // namespace

void addStoreRoutes(HostRouter& router, DemoContext& context) {
    addAccountRoutes(router, context);
    addCatalogueRoutes(router, context);
    addDownloadLinkRoute(router, context);
    addOrderRoutes(router, context);
}

} // namespace ostrel::demo
