#include "Model/PriceText.h"

#include <QLocale>
#include <algorithm>
#include <memory>

#include <unicode/numfmt.h>
#include <unicode/unistr.h>

namespace ostrel::hub::PriceText {
namespace {

bool isCurrencyCode(const std::string& code) {
    return code.size() == 3 && std::all_of(code.begin(), code.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

QString plain(double amount) {
    return QString::number(amount, 'f', amount == static_cast<double>(static_cast<long long>(amount)) ? 0 : 2);
}

const std::string* chosenCurrency(const PriceMap& prices, const std::string& currency) {
    if (prices.contains(currency))
        return &currency;
    return prices.empty() ? nullptr : &prices.begin()->first;
}

} // namespace

std::string userLocale() {
    // A session without a locale (LANG=C) would leave ICU to its own default, which other
    // libraries in the process change; the hub then writes money as in American English.
    const auto name = QLocale().name();
    if (name == QLatin1String("C") || name == QLatin1String("POSIX"))
        return "en_US";
    return name.toStdString();
}

QString money(double amount, const std::string& currencyCode, const std::string& localeName) {
    if (!isCurrencyCode(currencyCode))
        return plain(amount);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> formatter(
        icu::NumberFormat::createCurrencyInstance(icu::Locale(localeName.c_str()), status));
    if (U_FAILURE(status) || !formatter)
        return plain(amount);
    icu::UnicodeString code(currencyCode.c_str(), static_cast<int32_t>(currencyCode.size()), US_INV);
    formatter->setCurrency(code.getTerminatedBuffer(), status);
    if (U_FAILURE(status))
        return plain(amount);
    icu::UnicodeString written;
    formatter->format(amount, written);
    return QString(reinterpret_cast<const QChar*>(written.getBuffer()), written.length());
}

QString format(double amount, const PricingVariation& variation, const PriceMap& prices, const std::string& currency,
               const std::string& localeName) {
    const std::string* code = chosenCurrency(prices, currency);
    if (!code)
        return {};
    QString text = money(amount, *code, localeName);
    const auto& recurrence = variation.recurrence;
    if (recurrence.isRecurring() && recurrence.cycleLength)
        text += QStringLiteral(" / ") + QString::fromStdString(*recurrence.cycleLength).toLower();
    return text;
}

QString format(const PricingVariation& variation, const PriceMap& prices, const std::string& currency,
               const std::string& localeName) {
    const std::string* code = chosenCurrency(prices, currency);
    return code ? format(prices.at(*code), variation, prices, currency, localeName) : QString();
}

QString productPrice(const StorefrontProduct& product, const std::string& currency, const std::string& localeName) {
    if (product.isFree())
        return QStringLiteral("Free");
    const auto& variation = product.defaultVariation;
    if (!variation || !variation->price.contains(currency))
        return QStringLiteral("Not for sale");
    return format(*variation, variation->price, currency, localeName);
}

QString wasPrice(const StorefrontProduct& product, const std::string& currency, const std::string& localeName) {
    const auto& variation = product.defaultVariation;
    if (!variation || product.isFree() || !variation->price.contains(currency))
        return {};
    const auto old = variation->originalPrice.find(currency);
    if (old == variation->originalPrice.end() || old->second <= variation->price.at(currency))
        return {};
    return QStringLiteral("was ") + format(old->second, *variation, variation->originalPrice, currency, localeName);
}

} // namespace ostrel::hub::PriceText
