#include "Model/CurrencyChoices.h"

namespace ostrel::hub {
namespace {

void offer(QStringList& choices, const QString& code) {
    if (!code.isEmpty() && choices.size() < maxCurrencyChoices && !choices.contains(code))
        choices << code;
}

} // namespace

QStringList currencyChoices(const Storefront* storefront, const QString& current) {
    QStringList choices;
    if (storefront && storefront->enabledCurrencies)
        for (const auto& code : *storefront->enabledCurrencies)
            offer(choices, QString::fromStdString(code));
    else if (storefront)
        offer(choices, QString::fromStdString(storefront->suggestedCurrency));
    if (!current.isEmpty() && !choices.contains(current)) {
        if (choices.size() == maxCurrencyChoices)
            choices.removeLast();
        choices << current;
    }
    return choices;
}

} // namespace ostrel::hub
