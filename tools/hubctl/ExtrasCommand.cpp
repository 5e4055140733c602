#include "Catalog/CatalogExtrasClient.h"
#include "Command.h"
#include "ServiceOptions.h"
#include "Services/CurlTransport.h"
#include "Services/InMemoryTokenPersistence.h"
#include "Services/MoonbaseClient.h"

#include <set>

namespace ostrel::hubctl {
namespace {

// The products the store offers a Mac download for; none when the store cannot be asked, which
// leaves every item to its other routes.
std::set<std::string> productsWithMacDownloads(const ServiceConfig& config, HTTPTransport& transport, Output io) {
    InMemoryTokenPersistence noSession;
    MoonbaseClient store(config.hostPolicy(), transport, noSession);
    std::set<std::string> products;
    try {
        for (const auto& product : store.storefront().products)
            if (!product.macDownloads().empty())
                products.insert(product.id);
    } catch (const Error& e) {
        io.err << e.what() << " No item is shown as installable through the hub.\n";
    }
    return products;
}

std::string describe(const ExtrasItem::InstallRoute& route) {
    using Kind = ExtrasItem::InstallRoute::Kind;
    switch (route.kind) {
    case Kind::hub:
        return "install through the hub (product " + route.productId + ")";
    case Kind::browser:
        return "download in the browser: " + route.url->text();
    case Kind::unavailable:
        break;
    }
    return "not available";
}

void printShelf(const std::string& title, const std::vector<ExtrasItem>& items,
                const ExtrasItem::StoreHasMacDownload& storeHas, std::ostream& out) {
    out << title << ":\n";
    if (items.empty())
        out << "  (none)\n";
    for (const auto& item : items)
        out << "  " << item.name << " (" << item.id << "): " << describe(item.installRoute(storeHas)) << "\n";
}

int run(const CommandLine& line, Output io) {
    line.expectArguments(0, "nothing");
    const auto config = serviceConfig(line);
    auto transport = std::make_shared<CurlTransport>(config.pinnedTrust(), CurlTransport::Options::from(config));
    const auto extras = CatalogExtrasClient::forConfig(config, transport).fetch();
    if (!extras) {
        io.err << "The catalog extras could not be loaded. The log under com.ostrel.hub has the details.\n";
        return 1;
    }
    const auto products = productsWithMacDownloads(config, *transport, io);
    const auto storeHas = [&](const std::string& product) { return products.contains(product); };
    printShelf("Free tools", extras->freeTools(), storeHas, io.out);
    printShelf("Early access", extras->earlyAccess(), storeHas, io.out);
    return 0;
}

} // namespace

Command extrasCommand() {
    return {"extras",
            "list the maker's free tools and early-access items",
            "ostrel-hubctl extras [--config FILE]\n\n"
            "Fetches the maker's extras feed and lists both shelves, each item with how it can\n"
            "be installed: through the hub when it is signed by the maker and the store offers\n"
            "it for the Mac, else in the browser from its release page.\n\n"
            "  --config FILE   the service configuration (default: the production services)\n",
            {"config"},
            {},
            run};
}

} // namespace ostrel::hubctl
