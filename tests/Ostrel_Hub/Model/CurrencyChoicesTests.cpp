// What "Prices in" offers: the storefront's enabled currencies, its suggested one when it names
// none, the current code always among them, and never more than the limit.
#include "Model/CurrencyChoices.h"

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

QStringList codes(std::initializer_list<const char*> list) {
    QStringList out;
    for (const auto* code : list)
        out << QString::fromLatin1(code);
    return out;
}

TEST(CurrencyChoices, TheStorefrontsEnabledCurrenciesInItsOrderWithTheCurrentOne) {
    const Storefront store{.suggestedCurrency = "USD",
                           .enabledCurrencies = std::vector<std::string>{"USD", "EUR", "", "GBP", "EUR"}};
    EXPECT_EQ(currencyChoices(&store, QStringLiteral("EUR")), codes({"USD", "EUR", "GBP"}));
    // A code the store no longer enables stays choosable until the model moves off it.
    EXPECT_EQ(currencyChoices(&store, QStringLiteral("JPY")), codes({"USD", "EUR", "GBP", "JPY"}));

    const Storefront unnamed{.suggestedCurrency = "GBP"};
    EXPECT_EQ(currencyChoices(&unnamed, QStringLiteral("EUR")), codes({"GBP", "EUR"}));
    EXPECT_EQ(currencyChoices(&unnamed, QStringLiteral("GBP")), codes({"GBP"}));

    EXPECT_EQ(currencyChoices(nullptr, QStringLiteral("EUR")), codes({"EUR"}));
    EXPECT_TRUE(currencyChoices(nullptr, QString()).isEmpty());
}

TEST(CurrencyChoices, NoMoreThanTheLimitAndTheCurrentOneNeverFallsOff) {
    const auto storeWith = [](qsizetype count) {
        Storefront store{.enabledCurrencies = std::vector<std::string>{}};
        for (qsizetype i = 0; i < count; ++i)
            store.enabledCurrencies->push_back("C" + std::to_string(i));
        return store;
    };
    const auto atLimit = storeWith(maxCurrencyChoices);
    EXPECT_EQ(currencyChoices(&atLimit, QStringLiteral("C0")).size(), maxCurrencyChoices);
    const auto over = storeWith(maxCurrencyChoices + 1);
    const auto offered = currencyChoices(&over, QStringLiteral("XXX"));
    EXPECT_EQ(offered.size(), maxCurrencyChoices);
    EXPECT_EQ(offered.back(), QStringLiteral("XXX"));
    EXPECT_FALSE(offered.contains(QStringLiteral("C%1").arg(maxCurrencyChoices)));
}

} // namespace
} // namespace ostrel::hub
