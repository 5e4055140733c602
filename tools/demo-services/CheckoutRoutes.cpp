// The store's payment page for an order, and the card-and-wallet service it hands over to. The
// page takes an e-mail address and a card, or opens the wallet service's window to approve the
// payment there; either way the browser ends at the order's return address, as the real flow
// does. A declined test card fails the payment; a paid order settles after the store's delay.
#include "DemoRoutes.h"
#include "PaymentCards.h"
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

std::string payForm(const DemoContext& c, const std::string& orderId, const std::string& email) {
    const std::string id = htmlEscaped(orderId);
    const std::string wallet = DemoHosts::https(c.hosts.payments) + "/approve?order=" + id;
    return "<form id=card-form method=post action=\"/checkout/" + id +
           "/pay\"><p><label>Email <input name=email type=email required value=\"" + htmlEscaped(email) +
           "\"></label></p><p><label>Card number <input name=card inputmode=numeric autocomplete=cc-number "
           "required placeholder=\"" +
           std::string(PaymentCards::paying) +
           "\"></label></p><p><label>Expiry <input name=expiry placeholder=\"12/30\" required></label> "
           "<label>CVC <input name=cvc size=4 placeholder=\"123\" required></label></p>"
           "<p><button id=pay type=submit>Pay now</button>"
           "<button id=wallet type=button onclick=\"window.open('" +
           wallet +
           "', 'demopay', 'width=520,height=680')\">Pay with DemoPay</button></p></form>"
           "<p><small>Test cards: " +
           PaymentCards::paying + " pays, " + PaymentCards::declined + " is declined.</small></p>";
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
        page += "<p>No money changes hands: this is the local demo store.</p>" + payForm(c, order.id, email);
    } else {
        page += "<p>This order is " + std::string(rawValue(order.status)) + ".</p>";
    }
    sendHtml(response, "Checkout", page);
}

// After a payment: back to the hub's return address, or a plain page when there is none.
void finish(httplib::Response& response, const std::string& returnUrl, const std::string& outcome) {
    if (returnUrl.empty())
        return sendHtml(response, "Checkout", "<h1>" + htmlEscaped(outcome) + "</h1>");
    redirect(response, returnUrl, 303);
}

void addStorePage(HostRouter& router, DemoContext& c) {
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
        const auto card = PaymentCards::judge(queryOf(request, "card").value_or(""));
        if (card == PaymentCards::Outcome::invalid)
            return sendHtml(response, "Checkout", "<h1>That card number is not valid.</h1>", 400);
        const auto id = request.matches[1].str();
        const auto returnUrl = card == PaymentCards::Outcome::declined ? c.store.decline(id) : c.store.pay(id, email);
        if (!returnUrl)
            return sendHtml(response, "Checkout", "<h1>This order cannot be paid.</h1>", 409);
        finish(response, *returnUrl,
               card == PaymentCards::Outcome::declined ? "Payment declined." : "Payment received.");
    });
    router.post(c.hosts.store, "/checkout/([^/]+)/decline", [&c](const auto& request, auto& response) {
        const auto returnUrl = c.store.decline(request.matches[1].str());
        if (!returnUrl)
            return sendHtml(response, "Checkout", "<h1>This order cannot be declined.</h1>", 409);
        finish(response, *returnUrl, "Payment declined.");
    });
}

// The wallet's own window: approve as an e-mail address, then send the store's page (the
// window's opener) on to the return address and close.
void addWalletWindow(HostRouter& router, DemoContext& c) {
    router.get(c.hosts.payments, "/approve", [&c](const auto& request, auto& response) {
        const auto id = queryOf(request, "order").value_or("");
        const auto checkout = c.store.checkout(id);
        if (!checkout || checkout->order.status != OrderStatus::open)
            return sendHtml(response, "DemoPay", "<h1>There is nothing to approve.</h1>", 404);
        const auto email = checkout->email.empty() && !c.catalogue.customers.empty()
                               ? c.catalogue.customers.front().email
                               : checkout->email;
        sendHtml(response, "DemoPay",
                 "<h1>DemoPay</h1><p>Approve the payment of " +
                     amount(checkout->order.total ? checkout->order.total->due.amount : 0, checkout->order.currency) +
                     " to the Ostrel demo store.</p><form method=post action=\"/approve\"><input type=hidden "
                     "name=order value=\"" +
                     htmlEscaped(id) + "\"><p><label>Email <input name=email type=email required value=\"" +
                     htmlEscaped(email) +
                     "\"></label></p><p><button id=approve type=submit>Approve payment</button>"
                     "<button type=button onclick=\"window.close()\">Cancel</button></p></form>");
    });
    router.post(c.hosts.payments, "/approve", [&c](const auto& request, auto& response) {
        const auto email = queryOf(request, "email").value_or("");
        const auto returnUrl = email.find('@') == std::string::npos
                                   ? std::nullopt
                                   : c.store.pay(queryOf(request, "order").value_or(""), email);
        if (!returnUrl)
            return sendHtml(response, "DemoPay", "<h1>This payment cannot be approved.</h1>", 409);
        sendHtml(response, "DemoPay",
                 "<h1>Approved</h1><p>You can close this window.</p><script>if (window.opener) "
                 "window.opener.location.href = " +
                     nlohmann::json(*returnUrl).dump() + "; window.close();</script>");
    });
}

} // namespace

void addCheckoutRoutes(HostRouter& router, DemoContext& context) {
    addStorePage(router, context);
    addWalletWindow(router, context);
}

} // namespace ostrel::demo
