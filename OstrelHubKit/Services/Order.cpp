#include "Services/Order.h"

#include "Services/RawValueTable.h"

#include <array>
#include <cstdio>
#include <random>
#include <utility>

namespace ostrel {

namespace {

constexpr RawValueTable<OrderStatus, 6> statusNames{
    .entries = {{
        {OrderStatus::open, "Open"},
        {OrderStatus::paymentProcessing, "PaymentProcessing"},
        {OrderStatus::paid, "Paid"},
        {OrderStatus::completed, "Completed"},
        {OrderStatus::failed, "Failed"},
        {OrderStatus::unknown, "unknown"},
    }},
    .fallback = OrderStatus::unknown,
};

// A version 4 UUID in lower-case text form.
std::string randomUuid() {
    std::random_device source;
    std::array<unsigned char, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const auto word = source();
        for (std::size_t k = 0; k < 4; ++k)
            bytes[i + k] = static_cast<unsigned char>(word >> (8 * k));
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text.push_back('-');
        std::array<char, 3> hex{};
        std::snprintf(hex.data(), hex.size(), "%02x", unsigned(bytes[i]));
        text.append(hex.data(), 2);
    }
    return text;
}

} // namespace

void readJson(const JsonReader& in, Money& out) {
    out = {.currency = in.required<std::string>("currency"), .amount = in.required<double>("amount")};
}

void to_json(nlohmann::json& json, const Money& money) {
    json = {{"currency", money.currency}, {"amount", money.amount}};
}

void readJson(const JsonReader& in, OrderTotal& out) {
    out = {
        .original = in.required<Money>("original"),
        .discount = in.required<Money>("discount"),
        .subtotal = in.required<Money>("subtotal"),
        .taxes = in.optional<Money>("taxes"),
        .due = in.required<Money>("due"),
    };
}

void to_json(nlohmann::json& json, const OrderTotal& total) {
    json = {
        {"original", total.original}, {"discount", total.discount}, {"subtotal", total.subtotal}, {"due", total.due}};
    writeOptional(json, "taxes", total.taxes);
}

OrderLineItem OrderLineItem::product(std::string productId, std::string variationId, int64_t quantity) {
    return {
        .id = randomUuid(),
        .type = "Product",
        .productId = std::move(productId),
        .quantity = quantity,
        .variationId = std::move(variationId),
    };
}

void readJson(const JsonReader& in, OrderLineItem& out) {
    out = {
        .id = in.required<std::string>("id"),
        .type = in.required<std::string>("type"),
        .productId = in.optional<std::string>("productId"),
        .bundleId = in.optional<std::string>("bundleId"),
        .quantity = in.required<int64_t>("quantity"),
        .variationId = in.required<std::string>("variationId"),
    };
}

void to_json(nlohmann::json& json, const OrderLineItem& item) {
    json = {{"id", item.id}, {"type", item.type}, {"quantity", item.quantity}, {"variationId", item.variationId}};
    writeOptional(json, "productId", item.productId);
    writeOptional(json, "bundleId", item.bundleId);
}

std::string_view rawValue(OrderStatus status) {
    return statusNames.name(status);
}

OrderStatus orderStatusFromRaw(std::string_view raw) {
    return statusNames.parse(raw);
}

bool isSettled(OrderStatus status) {
    return status == OrderStatus::paid || status == OrderStatus::completed;
}

void readJson(const JsonReader& in, OrderStatus& out) {
    out = orderStatusFromRaw(in.asString());
}

void to_json(nlohmann::json& json, OrderStatus status) {
    json = rawValue(status);
}

void readJson(const JsonReader& in, Order& out) {
    out = {
        .id = in.required<std::string>("id"),
        .status = in.required<OrderStatus>("status"),
        .currency = in.required<std::string>("currency"),
        .total = in.optional<OrderTotal>("total"),
        .items = in.required<std::vector<OrderLineItem>>("items"),
        .checkoutUrl = in.optional<std::string>("checkoutUrl"),
        .embeddedCheckoutUrl = in.optional<std::string>("embeddedCheckoutUrl"),
    };
}

void to_json(nlohmann::json& json, const Order& order) {
    json = {{"id", order.id}, {"status", order.status}, {"currency", order.currency}, {"items", order.items}};
    writeOptional(json, "total", order.total);
    writeOptional(json, "checkoutUrl", order.checkoutUrl);
    writeOptional(json, "embeddedCheckoutUrl", order.embeddedCheckoutUrl);
}

} // namespace ostrel
