#pragma once

#include "Services/PricingVariation.h"
#include "Services/Storefront.h"

#include <QString>
#include <string>

namespace ostrel::hub::PriceText {

// The user's locale, by the name the formatters take ("en_US"); "en_US" when none is set.
std::string userLocale();

// An amount in a currency, as the locale writes money ("€45.00" in en_US); the plain decimal
// number when the code is not a currency code or the locale cannot write it.
QString money(double amount, const std::string& currencyCode, const std::string& localeName);

// One price of a variation: in `currency` when the map has it, else in the map's first
// currency; "" for an empty map. A recurring price with a cycle adds " / " and the cycle in
// lower case ("€11.99 / monthly").
QString format(double amount, const PricingVariation& variation, const PriceMap& prices, const std::string& currency,
               const std::string& localeName);
QString format(const PricingVariation& variation, const PriceMap& prices, const std::string& currency,
               const std::string& localeName);

// What a product costs: "Free", "Not for sale" when it has no price in the currency, else the
// formatted price of its default variation.
QString productPrice(const StorefrontProduct& product, const std::string& currency, const std::string& localeName);
// "was " and the old price when the default variation is discounted in the currency; else "".
QString wasPrice(const StorefrontProduct& product, const std::string& currency, const std::string& localeName);

} // namespace ostrel::hub::PriceText
