#include "Model/AccountText.h"

#include "Model/RelativeTime.h"
#include "Util/Iso8601.h"

#include <QStringList>

namespace ostrel::hub::AccountText {
namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

std::optional<QDateTime> timeOf(const std::optional<std::string>& text) {
    const auto parsed = text ? Iso8601::parse(*text) : std::nullopt;
    if (!parsed)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(parsed->time_since_epoch().count(), Qt::UTC);
}

// Phones, tablets and browsers by the words their sessions' labels carry; a computer otherwise.
QString iconFor(const QString& label) {
    for (const char* word : {"iPhone", "iPad", "iOS", "Android"})
        if (label.contains(QLatin1String(word), Qt::CaseInsensitive))
            return QStringLiteral("phone");
    for (const char* word : {"Safari", "Chrome", "Firefox", "Edge", "Browser", "Mozilla"})
        if (label.contains(QLatin1String(word), Qt::CaseInsensitive))
            return QStringLiteral("web-browser");
    return QStringLiteral("computer");
}

} // namespace

QString displayName(const StoreState& state) {
    if (state.storeUser && !state.storeUser->name.empty())
        return qt(state.storeUser->name);
    if (state.ostrelProfile)
        return qt(state.ostrelProfile->user.email);
    if (state.storeUser)
        return qt(state.storeUser->email);
    return QStringLiteral("Not signed in");
}

std::optional<QString> displayEmail(const StoreState& state) {
    if (state.ostrelProfile)
        return qt(state.ostrelProfile->user.email);
    if (state.storeUser)
        return qt(state.storeUser->email);
    return std::nullopt;
}

QString signsInWith(const OstrelIDProfile& profile) {
    QStringList titles;
    for (const auto& connection : profile.externalAccounts.value_or(std::vector<OstrelIDConnection>{})) {
        const auto provider = ostrelIDProviderFromId(connection.provider);
        const QString shown = provider ? qt(std::string(title(*provider))) : qt(connection.provider);
        if (!shown.isEmpty() && !titles.contains(shown))
            titles << shown;
    }
    return titles.join(QStringLiteral(", "));
}

QList<QVariantMap> deviceRows(const std::vector<OstrelIDSession>& sessions, const QDateTime& now) {
    QList<QVariantMap> rows;
    for (const auto& session : sessions) {
        const bool current = session.current.value_or(false);
        const auto seen = timeOf(session.lastSeenAt);
        rows << QVariantMap{
            {QStringLiteral("sessionId"), qt(session.id)},
            {QStringLiteral("label"), current ? QStringLiteral("This Mac") : qt(session.label)},
            {QStringLiteral("lastActive"),
             seen ? QStringLiteral("Last active ") + RelativeTime::ago(*seen, now) : QString()},
            {QStringLiteral("iconName"), iconFor(qt(session.label))},
            {QStringLiteral("isCurrent"), current},
        };
    }
    return rows;
}

QList<QVariantMap> purchaseRows(const std::vector<OstrelIDPurchase>& purchases, const StoreState& state,
                                const QLocale& locale) {
    QList<QVariantMap> rows;
    for (const auto& purchase : purchases) {
        const auto* product = state.storeProduct(purchase.productId);
        const auto bought = timeOf(purchase.purchasedAt);
        rows << QVariantMap{
            {QStringLiteral("purchaseId"), qt(purchase.id)},
            {QStringLiteral("productId"), qt(purchase.productId)},
            {QStringLiteral("productName"), product ? qt(product->name) : qt(purchase.productId)},
            {QStringLiteral("date"), bought ? locale.toString(bought->date(), QLocale::ShortFormat) : QString()},
            {QStringLiteral("status"), qt(purchase.status)},
            {QStringLiteral("licensee"), qt(purchase.licenseeEmail.value_or(purchase.buyerEmail.value_or("")))},
            {QStringLiteral("gifted"), purchase.gifted.value_or(false)},
        };
    }
    return rows;
}

} // namespace ostrel::hub::AccountText
