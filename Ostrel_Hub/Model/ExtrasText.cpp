#include "Model/ExtrasText.h"

namespace ostrel::hub::ExtrasText {
namespace {

using Kind = ExtrasItem::InstallRoute::Kind;

QString qt(const std::optional<std::string>& text) {
    return text ? QString::fromStdString(*text) : QString();
}

bool onGitHub(const ExtrasItem::InstallRoute& route) {
    const auto host = route.url ? route.url->host() : std::nullopt;
    return host && (*host == "github.com" || host->ends_with(".github.com"));
}

} // namespace

QString routeName(const ExtrasItem::InstallRoute& route) {
    switch (route.kind) {
    case Kind::hub:
        return QStringLiteral("hub");
    case Kind::browser:
        return onGitHub(route) ? QStringLiteral("github") : QStringLiteral("release");
    case Kind::unavailable:
        break;
    }
    return QStringLiteral("soon");
}

QString kindTitle(const ExtrasItem& item) {
    QString kind = QString::fromStdString(item.kind);
    if (!kind.isEmpty())
        kind[0] = kind[0].toUpper();
    return kind;
}

QString shelfTitle(ExtrasItem::Shelf shelf) {
    return shelf == ExtrasItem::Shelf::earlyAccess ? QStringLiteral("Early Access") : QStringLiteral("Free Tools");
}

ExtrasRow row(const ExtrasItem& item, const ExtrasItem::InstallRoute& route) {
    return ExtrasRow{.itemId = QString::fromStdString(item.id),
                     .title = QString::fromStdString(item.name),
                     .summary = qt(item.summary),
                     .iconUrl = qt(item.iconUrl),
                     .kindTitle = kindTitle(item),
                     .route = routeName(route)};
}

QVariantMap action(const ExtrasItem::InstallRoute& route, const QString& hubTitle) {
    const QString name = routeName(route);
    const QString inBrowser = QStringLiteral("Open the release page in your browser");
    if (name == QLatin1String("hub"))
        return {{"kind", name}, {"title", hubTitle}, {"detail", QString()}};
    if (name == QLatin1String("github"))
        return {{"kind", name}, {"title", QStringLiteral("GitHub")}, {"detail", inBrowser}};
    if (name == QLatin1String("release"))
        return {{"kind", QStringLiteral("view")}, {"title", QStringLiteral("View")}, {"detail", inBrowser}};
    return {{"kind", name}, {"title", QStringLiteral("Soon")}, {"detail", QStringLiteral("Not yet released")}};
}

QVariantMap page(const ExtrasItem& item, const ExtrasItem::InstallRoute& route, const QString& hubTitle) {
    const auto releaseUrl = item.releaseURL();
    return {
        {"exists", true},
        {"title", QString::fromStdString(item.name)},
        {"summary", qt(item.summary)},
        {"description", qt(item.summary)},
        {"iconUrl", qt(item.iconUrl)},
        {"kindTitle", kindTitle(item)},
        {"installsLine", route.kind == Kind::hub
                             ? QStringLiteral("Through the hub, after its signature is checked")
                             : QStringLiteral("From the release page. The hub only installs code signed by Ostrel.")},
        {"releaseUrl", releaseUrl ? QString::fromStdString(releaseUrl->text()) : QString()},
        {"shelfTitle", shelfTitle(item.shelf())},
        {"action", action(route, hubTitle)},
    };
}

} // namespace ostrel::hub::ExtrasText
