#pragma once

#include "Services/JsonReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// An amount in one currency's main unit.
struct Money {
    std::string currency{};
    double amount = 0;

    bool operator==(const Money&) const = default;
};

void readJson(const JsonReader& in, Money& out);
void to_json(nlohmann::json& json, const Money& money);

struct OrderTotal {
    Money original{}; // before discounts
    Money discount{};
    Money subtotal{}; // after discounts
    std::optional<Money> taxes{};
    Money due{};

    bool operator==(const OrderTotal&) const = default;
};

void readJson(const JsonReader& in, OrderTotal& out);
void to_json(nlohmann::json& json, const OrderTotal& total);

// One line of an order, as the store sends it and as the hub sends it back.
struct OrderLineItem {
    std::string id{};
    std::string type{}; // "Product" for product lines
    std::optional<std::string> productId{};
    std::optional<std::string> bundleId{};
    int64_t quantity = 0;
    std::string variationId{};

    // A new product line under a fresh random identifier.
    static OrderLineItem product(std::string productId, std::string variationId, int64_t quantity);

    bool operator==(const OrderLineItem&) const = default;
};

void readJson(const JsonReader& in, OrderLineItem& out);
void to_json(nlohmann::json& json, const OrderLineItem& item);

// Where an order stands. Spellings the store may add later decode as `unknown`.
enum class OrderStatus {
    open,
    paymentProcessing,
    paid,
    completed,
    failed,
    unknown,
};

std::string_view rawValue(OrderStatus status);
// Exact, case-sensitive match of a store spelling; anything else is `unknown`.
OrderStatus orderStatusFromRaw(std::string_view raw);
// Paid for: the customer owns what the order holds.
bool isSettled(OrderStatus status);

void readJson(const JsonReader& in, OrderStatus& out);
void to_json(nlohmann::json& json, OrderStatus status);

// A cart turned into an order at the store.
struct Order {
    std::string id{};
    OrderStatus status = OrderStatus::unknown;
    std::string currency{};
    std::optional<OrderTotal> total{};
    std::vector<OrderLineItem> items{};
    std::optional<std::string> checkoutUrl{};
    std::optional<std::string> embeddedCheckoutUrl{};

    bool operator==(const Order&) const = default;
};

void readJson(const JsonReader& in, Order& out);
void to_json(nlohmann::json& json, const Order& order);

} // namespace ostrel
