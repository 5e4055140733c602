// The store's payment page for an order: a summary, an e-mail field and two buttons. Paying
// hands the products to that address's account and sends the browser to the order's return
// address, as the real payment flow does when it is done.
#include "DemoRoutes.h"
#include "RouteSupport.h"

#include <cstdio>

namespace ostrel::demo {

namespace {

std::string amount(double value, const std::string& currency) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return std::string(text) + " " + currency;
}

std::string itemRows(const DemoContext& c, const Order& order) {
    std::string rows;
    for (const auto& item : order.items) {
        const auto owner = item.productId.value_or(item.bundleId.value_or(""));
        const auto* product = c.catalogue.product(owner);
        const auto* bundle = c.catalogue.bundle(owner);
        const auto* variation = c.catalogue.variation(owner, item.variationId);
        const std::string name = product ? product->name : bundle ? bundle->name : owner;
        rows += "<tr><td>" + htmlEscaped(name) + (variation ? " — " + htmlEscaped(variation->name) : "") +
                "</td><td style=\"text-align:right\">" +
                (variation && variation->price.contains(order.currency)
                     ? amount(variation->price.at(order.currency) * static_cast<double>(item.quantity), order.currency)
                     : "") +
                "</td></tr>";
    }
    return rows;
}

std::string payForm(const std::string& orderId, const std::string& email) {
    return "<form method=post action=\"/checkout/" + htmlEscaped(orderId) +
           "/pay\"><p><label>Email <input name=email type=email required value=\"" + htmlEscaped(email) +
           "\"></label></p><p><button id=pay type=submit>Pay now</button>"
           "<button id=decline type=submit formaction=\"/checkout/" +
           htmlEscaped(orderId) + "/decline\">Decline payment</button></p></form>";
}

void showOrder(const DemoContext& c, const DemoStore::Checkout& checkout, httplib::Response& response) {
    const Order& order = checkout.order;
    std::string page = "<h1>Ostrel demo checkout</h1><p>Order " + htmlEscaped(order.id) + "</p><table>" +
                       itemRows(c, order) + "<tr><td><b>Total</b></td><td style=\"text-align:right\"><b>" +
                       amount(order.total ? order.total->due.amount : 0, order.currency) + "</b></td></tr></table>";
    if (order.status == OrderStatus::open) {
        const auto email = checkout.email.empty() && !c.catalogue.customers.empty()
                               ? c.catalogue.customers.front().email
                               : checkout.email;
        page += "<p>No money changes hands: this is the local demo store.</p>" + payForm(order.id, email);
    } else {
        page += "<p>This order is " + std::string(rawValue(order.status)) + ".</p>";
    }
    sendHtml(response, "Checkout", page);
}

// After a button: back to the hub's return address, or a plain page when there is none.
void finish(httplib::Response& response, const std::string& returnUrl, const std::string& outcome) {
    if (returnUrl.empty())
        return sendHtml(response, "Checkout", "<h1>" + htmlEscaped(outcome) + "</h1>");
    redirect(response, returnUrl, 303);
}

} // namespace

void addCheckoutRoutes(HostRouter& router, DemoContext& context) {
    auto& c = context;
    router.get(c.hosts.store, "/checkout/([^/]+)", [&c](const auto& request, auto& response) {
        const auto checkout = c.store.checkout(request.matches[1].str());
        if (!checkout)
            return sendHtml(response, "Checkout", "<h1>There is no such order.</h1>", 404);
        showOrder(c, *checkout, response);
    });
    router.post(c.hosts.store, "/checkout/([^/]+)/pay", [&c](const auto& request, auto& response) {
        const auto email = queryOf(request, "email").value_or("");
        if (email.find('@') == std::string::npos)
            return sendHtml(response, "Checkout", "<h1>An email address is needed to pay.</h1>", 400);
        const auto returnUrl = c.store.pay(request.matches[1].str(), email);
        if (!returnUrl)
            return sendHtml(response, "Checkout", "<h1>This order cannot be paid.</h1>", 409);
        finish(response, *returnUrl, "Payment received.");
    });
    router.post(c.hosts.store, "/checkout/([^/]+)/decline", [&c](const auto& request, auto& response) {
        const auto returnUrl = c.store.decline(request.matches[1].str());
        if (!returnUrl)
            return sendHtml(response, "Checkout", "<h1>This order cannot be declined.</h1>", 409);
        finish(response, *returnUrl, "Payment declined.");
    });
}

} // namespace ostrel::demo
