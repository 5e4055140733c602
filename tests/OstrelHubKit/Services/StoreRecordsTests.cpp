#include "Services/AnswerDecoding.h"
#include "Services/Lenient.h"
#include "Services/MoonbaseError.h"
#include "Services/Order.h"
#include "Services/Paged.h"
#include "Services/Problem.h"
#include "Services/ProductSummary.h"
#include "Services/RecordHash.h"
#include "Services/Storefront.h"
#include "Services/User.h"

#include <functional>
#include <regex>
#include <string>
#include <unordered_set>
#include <vector>

#include <gtest/gtest.h>

using namespace ostrel;
using nlohmann::json;

namespace {

const json fullStorefront = json::parse(R"({
  "suggestedCurrency": "EUR",
  "enabledCurrencies": ["EUR", "USD"],
  "products": [
    {"id": "p-free", "name": "Tuner", "tagline": "Tunes", "owned": false},
    {"id": "p-synth", "name": "Synth", "tagline": "Makes sound", "description": "Long text",
     "iconUrl": "https://assets.example/icon.png", "website": "https://example.com/synth", "owned": true,
     "currentVersion": "2.1.0",
     "downloads": [
       {"name": "Synth.pkg", "key": "k1", "platform": "Mac", "size": 1048576, "path": "/api/dl/k1"},
       {"name": "Synth.exe", "key": "k2", "platform": "Windows", "size": 2048}
     ],
     "defaultVariation": {"id": "v1", "name": "Standard", "originalPrice": {"EUR": 99.0, "USD": 109.5},
       "price": {"EUR": 79.0, "USD": 89.5}, "hasDiscount": true,
       "recurrence": {"type": "Recurring", "cycleLength": "Month"}},
     "variations": [{"id": "v2", "name": "Pro", "originalPrice": {}, "price": {"EUR": 149},
       "hasDiscount": false, "recurrence": {"type": "OneOff"}}]}
  ],
  "bundles": [
    {"id": "b1", "name": "All", "tagline": "Everything", "description": "Both", "iconUrl": "https://assets.example/b.png",
     "owned": false, "partial": true,
     "products": [{"id": "p-free", "name": "Tuner", "tagline": "Tunes", "owned": false}],
     "defaultVariation": {"id": "bv", "name": "Bundle", "originalPrice": {"EUR": 200}, "price": {"EUR": 150},
       "hasDiscount": true, "recurrence": {"type": "OneOff"}},
     "variations": []}
  ]
})");

const json fullOrder = json::parse(R"({
  "id": "o1", "status": "Open", "currency": "EUR",
  "total": {"original": {"currency": "EUR", "amount": 10}, "discount": {"currency": "EUR", "amount": 1},
            "subtotal": {"currency": "EUR", "amount": 9}, "taxes": {"currency": "EUR", "amount": 1.71},
            "due": {"currency": "EUR", "amount": 10.71}},
  "items": [{"id": "l1", "type": "Product", "productId": "p-synth", "quantity": 1, "variationId": "v1"},
            {"id": "l2", "type": "Bundle", "bundleId": "b1", "quantity": 2, "variationId": "bv"}],
  "checkoutUrl": "https://store.example/checkout/o1",
  "embeddedCheckoutUrl": "https://store.example/embedded/o1"
})");

const json fullSummaryPage = json::parse(R"({
  "items": [{"id": "p-synth", "name": "Synth", "tagline": "Makes sound", "version": "2.1.0",
             "releaseDescription": "Fixes", "downloadsNeedsUser": true, "downloadsNeedsOwnership": false,
             "downloads": [{"name": "Synth.pkg", "key": "k1", "platform": "Universal", "size": 10}]}],
  "hasMore": true, "next": "page-2"
})");

const json fullIdentity = json::parse(R"({
  "id": "u1", "email": "a@example.com", "name": "Ada", "tenantId": "t", "ownedProducts": ["p-synth"],
  "confirmedAccount": true, "accessToken": "access", "refreshToken": "refresh"
})");

// "/products/1/name" -> "products[1].name", the way decoding errors name places.
std::string placeOf(const std::string& pointer) {
    std::string place;
    std::size_t start = 1;
    while (start <= pointer.size()) {
        const auto end = std::min(pointer.find('/', start), pointer.size());
        const std::string token = pointer.substr(start, end - start);
        const bool index = !token.empty() && token.find_first_not_of("0123456789") == std::string::npos;
        place += index ? "[" + token + "]" : (place.empty() ? "" : ".") + token;
        start = end + 1;
    }
    return place;
}

DecodingError failureOf(const std::function<void(const json&)>& decode, const json& document) {
    try {
        decode(document);
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "decoded without error: " << document.dump();
    return DecodingError("", "");
}

struct RequiredFields {
    const char* record;
    std::function<void(const json&)> decode;
    const json* document;
    std::vector<std::string> pointers;
};

} // namespace

TEST(StoreRecords, EveryMissingRequiredFieldIsNamedByItsPlace) {
    const std::vector<RequiredFields> table{
        {"Storefront",
         [](const json& j) { decodeJson<Storefront>(j); },
         &fullStorefront,
         {"/suggestedCurrency",
          "/products",
          "/bundles",
          "/products/1/id",
          "/products/1/name",
          "/products/1/tagline",
          "/products/1/owned",
          "/products/1/downloads/1/name",
          "/products/1/downloads/0/key",
          "/products/1/downloads/0/platform",
          "/products/1/downloads/1/size",
          "/products/1/defaultVariation/id",
          "/products/1/defaultVariation/name",
          "/products/1/defaultVariation/originalPrice",
          "/products/1/defaultVariation/price",
          "/products/1/defaultVariation/hasDiscount",
          "/products/1/defaultVariation/recurrence",
          "/products/1/variations/0/recurrence/type",
          "/bundles/0/id",
          "/bundles/0/name",
          "/bundles/0/tagline",
          "/bundles/0/owned",
          "/bundles/0/partial",
          "/bundles/0/products",
          "/bundles/0/products/0/owned"}},
        {"Order",
         [](const json& j) { decodeJson<Order>(j); },
         &fullOrder,
         {"/id", "/status", "/currency", "/items", "/items/1/id", "/items/0/type", "/items/0/quantity",
          "/items/1/variationId", "/total/original", "/total/discount", "/total/subtotal", "/total/due",
          "/total/due/currency", "/total/taxes/amount"}},
        {"Paged<ProductSummary>",
         [](const json& j) { decodeJson<Paged<ProductSummary>>(j); },
         &fullSummaryPage,
         {"/items", "/hasMore", "/items/0/id", "/items/0/name", "/items/0/tagline", "/items/0/downloads/0/size"}},
        {"IdentityResponse",
         [](const json& j) { decodeJson<IdentityResponse>(j); },
         &fullIdentity,
         {"/id", "/email", "/name", "/accessToken", "/refreshToken"}},
    };
    for (const auto& row : table) {
        EXPECT_NO_THROW(row.decode(*row.document)) << row.record;
        for (const auto& pointer : row.pointers) {
            json broken = *row.document;
            json::json_pointer at(pointer);
            broken[at.parent_pointer()].erase(at.back());
            const auto error = failureOf(row.decode, broken);
            EXPECT_EQ(error.path(), placeOf(pointer)) << row.record;
            EXPECT_EQ(std::string(error.what()), "Missing value at " + placeOf(pointer) + ".") << row.record;
            // null stands for absent: it must not pass where a value is required
            broken = *row.document;
            broken[at] = nullptr;
            EXPECT_EQ(std::string(failureOf(row.decode, broken).what()), "Missing value at " + placeOf(pointer) + ".")
                << row.record;
        }
    }
}

TEST(StoreRecords, WrongTypesAndNonJsonAreRefusedWithTheirPlace) {
    const auto storefrontFailure = [](const std::string& pointer, const json& value) {
        json broken = fullStorefront;
        broken[json::json_pointer(pointer)] = value;
        return std::string(failureOf([](const json& j) { decodeJson<Storefront>(j); }, broken).what());
    };
    EXPECT_EQ(storefrontFailure("/products/1/downloads/0/size", "12"),
              "Expected a whole number at products[1].downloads[0].size.");
    EXPECT_EQ(storefrontFailure("/products/1/downloads/0/size", 12.5),
              "Expected a whole number at products[1].downloads[0].size.");
    EXPECT_EQ(storefrontFailure("/products/1/downloads/0/size", json::parse("9223372036854775808")),
              "Expected a whole number at products[1].downloads[0].size.");
    EXPECT_EQ(storefrontFailure("/products/1/downloads/0/platform", 5),
              "Expected a string at products[1].downloads[0].platform.");
    EXPECT_EQ(storefrontFailure("/products/0/owned", "true"), "Expected true or false at products[0].owned.");
    EXPECT_EQ(storefrontFailure("/products/1/defaultVariation/price/USD", "1"),
              "Expected a number at products[1].defaultVariation.price.USD.");
    EXPECT_EQ(storefrontFailure("/bundles", json::object()), "Expected a list at bundles.");
    EXPECT_EQ(storefrontFailure("/products/0", json::array()), "Expected an object at products[0].");
    // an optional member may be null, but not the wrong type
    EXPECT_EQ(storefrontFailure("/products/1/website", 1), "Expected a string at products[1].website.");
    EXPECT_NO_THROW(decodeJson<Storefront>(json::parse(R"({"suggestedCurrency":"EUR","products":[],"bundles":[],
        "enabledCurrencies":null})")));

    EXPECT_THROW(decodeJsonText<Order>(R"({"id": "o", "status": 1e999})"), DecodingError);
    EXPECT_STREQ(failureOf([](const json& j) { decodeJson<Storefront>(j); }, json::array()).what(),
                 "Expected an object at the top level.");
    try {
        decodeAnswer<Order>(R"({"id": tru})");
        ADD_FAILURE() << "decoded text that is not JSON";
    } catch (const MoonbaseError& error) {
        EXPECT_EQ(error, MoonbaseError::decoding("Not valid JSON at byte 11."));
        EXPECT_STREQ(error.what(), "The store sent a response the app could not read. Not valid JSON at byte 11.");
    }
    EXPECT_THROW(decodeAnswer<Order>(R"({"id": "o"})"), MoonbaseError);
}

TEST(StoreRecords, WholeNumbersMayBeWrittenWithAZeroFraction) {
    json line = fullOrder["items"][0];
    line["quantity"] = 3.0;
    EXPECT_EQ(decodeJson<OrderLineItem>(line).quantity, 3);
    line["quantity"] = -2;
    EXPECT_EQ(decodeJson<OrderLineItem>(line).quantity, -2);
}

TEST(StoreRecords, FullStorefrontSurvivesEncodeAndDecode) {
    const auto storefront = decodeJson<Storefront>(fullStorefront);
    const json encoded = storefront;
    EXPECT_EQ(encoded, fullStorefront);
    EXPECT_EQ(decodeJsonText<Storefront>(encoded.dump()), storefront);

    const auto& synth = storefront.products[1];
    ASSERT_TRUE(synth.downloads.has_value());
    EXPECT_EQ((*synth.downloads)[0].size, 1048576);
    EXPECT_TRUE(synth.defaultVariation->recurrence.isRecurring());
    EXPECT_FALSE((*synth.variations)[0].recurrence.isRecurring());
    EXPECT_EQ(storefront.bundles[0].products[0], storefront.products[0]);

    // empty optionals are left out, not written as null
    EXPECT_EQ(json(storefront.products[0]), json::parse(R"({"id":"p-free","name":"Tuner","tagline":"Tunes",
        "owned":false})"));
}

TEST(StoreRecords, OtherRecordsSurviveEncodeAndDecode) {
    EXPECT_EQ(json(decodeJson<Order>(fullOrder)), fullOrder);
    EXPECT_EQ(json(decodeJson<Paged<ProductSummary>>(fullSummaryPage)), fullSummaryPage);
    EXPECT_EQ(json(decodeJson<IdentityResponse>(fullIdentity)), fullIdentity);
    const Problem problem{.title = "Oops", .detail = "Gone", .status = 410};
    EXPECT_EQ(decodeJson<Problem>(json(problem)), problem);
    EXPECT_EQ(json(Problem{}), json::object());
}

TEST(StoreRecords, UnknownKeysAreIgnored) {
    json extended = fullOrder;
    extended["loyaltyPoints"] = {{"nested", true}};
    extended["items"][0]["discountCode"] = 7;
    EXPECT_EQ(decodeJson<Order>(extended), decodeJson<Order>(fullOrder));
}

TEST(StoreRecords, PlatformSpellingIsExactAndOnlyMacFilesAreInstallable) {
    const auto product = decodeJson<StorefrontProduct>(json::parse(R"({"id":"p","name":"P","tagline":"t",
        "owned":false,"downloads":[
        {"name":"a","key":"a","platform":"mac","size":1},
        {"name":"b","key":"b","platform":"Universal","size":1},
        {"name":"c","key":"c","platform":"Linux","size":1},
        {"name":"d","key":"d","platform":"Mac","size":1},
        {"name":"e","key":"e","platform":"MacOS","size":1}]})"));
    EXPECT_EQ((*product.downloads)[0].platform, Platform::unknown);
    EXPECT_EQ((*product.downloads)[2].platform, Platform::linux);
    EXPECT_EQ((*product.downloads)[4].platform, Platform::unknown);
    std::vector<std::string> keys;
    for (const auto& download : product.macDownloads())
        keys.push_back(download.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"b", "d"}));
    EXPECT_TRUE(ProductSummary{}.macDownloads().empty());
    EXPECT_EQ(json(Platform::iOS), "iOS");
}

TEST(StoreRecords, OnlyAllZeroPricesAreFree) {
    StorefrontProduct product{.id = "p", .name = "P", .tagline = "t"};
    EXPECT_FALSE(product.isFree());
    EXPECT_FALSE(product.isPurchasable());

    product.defaultVariation = PricingVariation{.id = "v", .name = "Free", .price = {{"EUR", 0.0}, {"USD", 0.0}}};
    EXPECT_TRUE(product.isPurchasable());
    EXPECT_TRUE(product.isFree());
    product.defaultVariation->originalPrice = {{"EUR", 0.0}};
    EXPECT_TRUE(product.isFree());
    product.defaultVariation->originalPrice = {{"EUR", 19.0}};
    EXPECT_FALSE(product.isFree());
    product.defaultVariation->originalPrice = {};
    product.defaultVariation->price = {{"EUR", 0.0}, {"USD", 0.01}};
    EXPECT_FALSE(product.isFree());
    product.defaultVariation->price = {};
    EXPECT_FALSE(product.isFree());
}

TEST(StoreRecords, IdentityUserMustStandAtTheTopLevel) {
    const auto response = decodeJson<IdentityResponse>(fullIdentity);
    EXPECT_EQ(response.user.email, "a@example.com");
    EXPECT_EQ(response.accessToken, "access");

    const json nested = {{"user", {{"id", "u1"}, {"email", "a@example.com"}, {"name", "Ada"}}},
                         {"accessToken", "access"},
                         {"refreshToken", "refresh"}};
    EXPECT_EQ(failureOf([](const json& j) { decodeJson<IdentityResponse>(j); }, nested).path(), "id");
}

TEST(StoreRecords, OrderStatusSpellingIsExactAndOnlyPaidOrCompletedSettle) {
    const auto statusOf = [](const char* raw) {
        json order = fullOrder;
        order["status"] = raw;
        return decodeJson<Order>(order).status;
    };
    EXPECT_EQ(statusOf("paid"), OrderStatus::unknown);
    EXPECT_FALSE(isSettled(statusOf("paid")));
    EXPECT_EQ(statusOf("PaymentProcessing"), OrderStatus::paymentProcessing);
    EXPECT_FALSE(isSettled(statusOf("PaymentProcessing")));
    EXPECT_TRUE(isSettled(statusOf("Paid")));
    EXPECT_TRUE(isSettled(statusOf("Completed")));
    EXPECT_FALSE(isSettled(statusOf("Failed")));
    EXPECT_EQ(json(OrderStatus::paymentProcessing), "PaymentProcessing");
}

TEST(StoreRecords, ProductLineHasAFreshLowerCaseUuid) {
    const auto line = OrderLineItem::product("p-synth", "v1", 2);
    EXPECT_EQ(
        json(line),
        (json{{"id", line.id}, {"type", "Product"}, {"productId", "p-synth"}, {"quantity", 2}, {"variationId", "v1"}}));
    EXPECT_TRUE(
        std::regex_match(line.id, std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")))
        << line.id;
    EXPECT_NE(OrderLineItem::product("p-synth", "v1", 2).id, line.id);
}

TEST(StoreRecords, ProblemBodyIsReadWhenItCanBe) {
    EXPECT_EQ(Problem::fromBody(R"({"title":"Not Found","detail":"Product x","status":404,"type":"about:blank"})"),
              (Problem{.title = "Not Found", .detail = "Product x", .status = 404}));
    EXPECT_EQ(Problem::fromBody(""), Problem{});
    EXPECT_EQ(Problem::fromBody("<html>Bad gateway</html>"), Problem{});
    EXPECT_EQ(Problem::fromBody(R"(["detail"])"), Problem{});
    EXPECT_EQ(Problem::fromBody(R"({"detail": 5})"), Problem{});
}

TEST(StoreRecords, LenientEntryLosesOnlyItself) {
    const auto list = decodeJson<std::vector<Lenient<Money>>>(json::parse(
        R"([{"currency":"EUR","amount":1}, {"currency":"EUR"}, null, "x", {"currency":"USD","amount":2}])"));
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0].value, (Money{"EUR", 1}));
    EXPECT_FALSE(list[1].value || list[2].value || list[3].value);
    EXPECT_EQ(list[4].value, (Money{"USD", 2}));
    EXPECT_EQ(json(list[1]), nullptr);
    EXPECT_EQ(json(list[4]), json::parse(R"({"currency":"USD","amount":2})"));
}

TEST(StoreRecords, EqualRecordsHashAlike) {
    const auto storefront = decodeJson<Storefront>(fullStorefront);
    std::unordered_set<StorefrontProduct, RecordHash> products(storefront.products.begin(), storefront.products.end());
    products.insert(storefront.bundles[0].products[0]); // the same as products[0]
    EXPECT_EQ(products.size(), 2u);
    EXPECT_EQ(RecordHash{}(Money{"EUR", 0.0}), RecordHash{}(Money{"EUR", -0.0}));
    EXPECT_TRUE(products.contains(storefront.products[1]));
}
