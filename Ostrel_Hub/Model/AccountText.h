#pragma once

#include "Model/StoreState.h"
#include "Services/OstrelIDRecords.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QVariantMap>
#include <optional>
#include <vector>

namespace ostrel::hub::AccountText {

// The name the screens show for the user: the store account's name, else the Ostrel ID's
// e-mail, else the store account's e-mail, else "Not signed in".
QString displayName(const StoreState& state);
// The Ostrel ID's e-mail, else the store account's; none when neither is connected.
std::optional<QString> displayEmail(const StoreState& state);
// The titles of the external accounts the Ostrel ID signs in with ("Apple, GitHub"); empty when
// none is linked.
QString signsInWith(const OstrelIDProfile& profile);

// One row per signed-in device: sessionId, label ("This Mac" for this one), lastActive ("Last
// active <relative time>" or empty), iconName, isCurrent.
QList<QVariantMap> deviceRows(const std::vector<OstrelIDSession>& sessions, const QDateTime& now);
// One row per purchase: purchaseId, productId, productName (the store's name when it lists the
// product), date (the day in the locale's short form, or empty), status, licensee, gifted.
QList<QVariantMap> purchaseRows(const std::vector<OstrelIDPurchase>& purchases, const StoreState& state,
                                const QLocale& locale);

} // namespace ostrel::hub::AccountText
