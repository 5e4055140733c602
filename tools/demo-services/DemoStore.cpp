#include "DemoStore.h"

#include "DemoRandom.h"
#include "DemoText.h"

#include <algorithm>

namespace ostrel::demo {

namespace {

constexpr std::string_view bearerPrefix = "Bearer ";
// Letters and digits that cannot be mistaken for each other, and "+" as the store's codes have.
constexpr std::string_view confirmationAlphabet = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789+";

Money money(const std::string& currency, double amount) {
    return Money{.currency = currency, .amount = amount};
}

} // namespace

DemoStore::DemoStore(const DemoCatalogue& catalogue, Settings settings, DemoLog log)
    : catalogue_(catalogue), settings_(std::move(settings)), log_(std::move(log)), signer_(settings_.tokenKeyFile) {
    for (const auto& c : catalogue.customers)
        customers_.emplace(c.id, Customer{.id = c.id,
                                          .email = c.email,
                                          .name = c.name,
                                          .password = c.password,
                                          .confirmed = true,
                                          .confirmationCode = std::nullopt,
                                          .owned = {c.owns.begin(), c.owns.end()}});
}

// Addresses are compared without regard to case, as mail systems treat them.
DemoStore::Customer* DemoStore::customerByEmail(const std::string& email) {
    const auto wanted = lowercased(email);
    for (auto& [id, customer] : customers_)
        if (lowercased(customer.email) == wanted)
            return &customer;
    return nullptr;
}

const DemoStore::Customer* DemoStore::customerByEmail(const std::string& email) const {
    return const_cast<DemoStore*>(this)->customerByEmail(email);
}

User DemoStore::userOf(const Customer& customer) const {
    return User{.id = customer.id,
                .email = customer.email,
                .name = customer.name,
                .tenantId = "ostrel-demo",
                .ownedProducts = std::vector<std::string>(customer.owned.begin(), customer.owned.end()),
                .confirmedAccount = customer.confirmed};
}

IdentityResponse DemoStore::sessionFor(const Customer& customer) {
    const auto access = signer_.issue({{"sub", customer.id}, {"email", customer.email}, {"aud", "store"}},
                                      settings_.tokenLifetime, Clock::now());
    const auto refresh = signer_.issue({{"sub", customer.id}, {"aud", "store-refresh"}}, refreshLifetime, Clock::now());
    return IdentityResponse{.user = userOf(customer), .accessToken = access, .refreshToken = refresh};
}

std::optional<IdentityResponse> DemoStore::signIn(const std::string& email, const std::string& password) {
    const std::lock_guard guard(lock_);
    const Customer* customer = customerByEmail(email);
    if (!customer || customer->password != password)
        return std::nullopt;
    return sessionFor(*customer);
}

std::optional<IdentityResponse> DemoStore::signUp(const std::string& name, const std::string& email,
                                                  const std::string& password) {
    const std::lock_guard guard(lock_);
    if (customerByEmail(email))
        return std::nullopt;
    Customer customer{.id = "cus-" + randomToken(9),
                      .email = email,
                      .name = name,
                      .password = password,
                      .confirmed = false,
                      .confirmationCode = randomCode(6, confirmationAlphabet),
                      .owned = {}};
    log_("store: confirmation code for " + email + ": " + *customer.confirmationCode);
    const auto [entry, added] = customers_.emplace(customer.id, customer);
    return sessionFor(entry->second);
}

std::optional<IdentityResponse> DemoStore::refresh(const std::string& refreshToken) {
    const auto claims = signer_.verify(refreshToken, Clock::now());
    if (!claims || claims->value("aud", "") != "store-refresh")
        return std::nullopt;
    const std::lock_guard guard(lock_);
    const auto found = customers_.find(claims->value("sub", ""));
    if (found == customers_.end())
        return std::nullopt;
    return sessionFor(found->second);
}

bool DemoStore::confirmAccount(const std::string& email, const std::string& code) {
    const std::lock_guard guard(lock_);
    Customer* customer = customerByEmail(email);
    if (!customer || customer->confirmationCode != code)
        return false;
    customer->confirmed = true;
    customer->confirmationCode.reset();
    return true;
}

void DemoStore::forgotPassword(const std::string& email) {
    const std::lock_guard guard(lock_);
    if (customerByEmail(email))
        log_("store: password reset link for " + email + ": https://example.invalid/reset (the demo keeps passwords)");
}

DemoStore::Caller DemoStore::caller(const std::optional<std::string>& authorization) const {
    if (!authorization)
        return {};
    if (!authorization->starts_with(bearerPrefix))
        return {.state = Caller::State::invalid, .customerId = {}};
    const auto claims = signer_.verify(std::string_view(*authorization).substr(bearerPrefix.size()), Clock::now());
    if (!claims || claims->value("aud", "") != "store")
        return {.state = Caller::State::invalid, .customerId = {}};
    const auto id = claims->value("sub", "");
    const std::lock_guard guard(lock_);
    if (!customers_.contains(id))
        return {.state = Caller::State::invalid, .customerId = {}};
    return {.state = Caller::State::customer, .customerId = id};
}

std::optional<User> DemoStore::user(const std::string& customerId) const {
    const std::lock_guard guard(lock_);
    const auto found = customers_.find(customerId);
    if (found == customers_.end())
        return std::nullopt;
    return userOf(found->second);
}

std::set<std::string> DemoStore::owned(const std::string& customerId) const {
    const std::lock_guard guard(lock_);
    const auto found = customers_.find(customerId);
    return found == customers_.end() ? std::set<std::string>{} : found->second.owned;
}

std::set<std::string> DemoStore::ownedBy(const std::string& email) const {
    const std::lock_guard guard(lock_);
    const Customer* customer = customerByEmail(email);
    return customer ? customer->owned : std::set<std::string>{};
}

std::variant<Order, std::string> DemoStore::putOrder(const std::string& id, const std::string& currency,
                                                     const std::vector<OrderLineItem>& items,
                                                     const std::string& returnUrl, const std::string& customerId) {
    if (std::find(catalogue_.currencies.begin(), catalogue_.currencies.end(), currency) == catalogue_.currencies.end())
        return "The currency " + currency + " is not offered.";
    if (items.empty())
        return std::string("An order needs at least one item.");
    double original = 0;
    double subtotal = 0;
    for (const auto& item : items) {
        const auto owner = item.productId.value_or(item.bundleId.value_or(""));
        const PricingVariation* variation = catalogue_.variation(owner, item.variationId);
        if (!variation || item.quantity < 1)
            return "The item " + item.id + " names no product and variation on sale.";
        original +=
            variation->originalPrice.contains(currency) ? variation->originalPrice.at(currency) * item.quantity : 0;
        subtotal += variation->price.contains(currency) ? variation->price.at(currency) * item.quantity : 0;
    }
    Order order{.id = id,
                .status = OrderStatus::open,
                .currency = currency,
                .total = OrderTotal{.original = money(currency, original),
                                    .discount = money(currency, original - subtotal),
                                    .subtotal = money(currency, subtotal),
                                    .taxes = std::nullopt,
                                    .due = money(currency, subtotal)},
                .items = items,
                .checkoutUrl = settings_.checkoutBase + id,
                .embeddedCheckoutUrl = settings_.checkoutBase + id + "?embedded=true"};
    const std::lock_guard guard(lock_);
    const auto existing = orders_.find(id);
    if (existing != orders_.end() && existing->second.order.status != OrderStatus::open)
        return "The order " + id + " has already been paid for.";
    orders_.insert_or_assign(id, StoredOrder{order, returnUrl, customerId, std::nullopt});
    return order;
}

Order DemoStore::current(const StoredOrder& stored) const {
    Order order = stored.order;
    if (stored.paidAt && Clock::now() >= *stored.paidAt + settings_.settleDelay)
        order.status = OrderStatus::paid;
    return order;
}

std::optional<Order> DemoStore::order(const std::string& id) const {
    const std::lock_guard guard(lock_);
    const auto found = orders_.find(id);
    if (found == orders_.end())
        return std::nullopt;
    return current(found->second);
}

std::optional<DemoStore::Checkout> DemoStore::checkout(const std::string& id) const {
    const std::lock_guard guard(lock_);
    const auto found = orders_.find(id);
    if (found == orders_.end())
        return std::nullopt;
    const auto customer = customers_.find(found->second.customerId);
    return Checkout{current(found->second), found->second.returnUrl,
                    customer == customers_.end() ? std::string() : customer->second.email};
}

std::set<std::string> DemoStore::productsOf(const Order& order) const {
    std::set<std::string> products;
    for (const auto& item : order.items) {
        if (item.productId)
            products.insert(*item.productId);
        if (const auto* bundle = item.bundleId ? catalogue_.bundle(*item.bundleId) : nullptr)
            products.insert(bundle->products.begin(), bundle->products.end());
    }
    return products;
}

std::optional<std::string> DemoStore::pay(const std::string& id, const std::string& email) {
    const std::lock_guard guard(lock_);
    const auto found = orders_.find(id);
    if (found == orders_.end() || found->second.order.status != OrderStatus::open)
        return std::nullopt;
    Customer* customer = customerByEmail(email);
    if (!customer) {
        Customer made{.id = "cus-" + randomToken(9),
                      .email = email,
                      .name = email.substr(0, email.find('@')),
                      .password = "demo",
                      .confirmed = true,
                      .confirmationCode = std::nullopt,
                      .owned = {}};
        customer = &customers_.emplace(made.id, made).first->second;
        log_("store: made an account for " + email + " with the password \"demo\"");
    }
    const auto products = productsOf(found->second.order);
    customer->owned.insert(products.begin(), products.end());
    found->second.order.status = OrderStatus::paymentProcessing;
    found->second.paidAt = Clock::now();
    log_("store: order " + id + " paid by " + email + "; it settles in " +
         std::to_string(settings_.settleDelay.count()) + " s");
    return found->second.returnUrl;
}

std::optional<std::string> DemoStore::decline(const std::string& id) {
    const std::lock_guard guard(lock_);
    const auto found = orders_.find(id);
    if (found == orders_.end() || found->second.order.status != OrderStatus::open)
        return std::nullopt;
    found->second.order.status = OrderStatus::failed;
    log_("store: payment of order " + id + " declined");
    return found->second.returnUrl;
}

} // namespace ostrel::demo
