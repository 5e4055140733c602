#pragma once

#include "Services/Storefront.h"

#include <QString>
#include <QStringList>

namespace ostrel::hub {

// The codes the "Prices in" picker offers: the storefront's enabled currencies in its order;
// a storefront that names none offers its suggested currency. The current code is always
// among them so the picker never shows a blank choice; no storefront yet offers only it.
// Empty and repeated codes are dropped, and no more than `maxCurrencyChoices` are offered.
inline constexpr qsizetype maxCurrencyChoices = 200;
QStringList currencyChoices(const Storefront* storefront, const QString& current);

} // namespace ostrel::hub
