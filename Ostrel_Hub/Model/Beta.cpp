#include "Model/Beta.h"

#include <QSysInfo>
#include <QUrlQuery>

namespace ostrel::hub {
namespace {

const QString address = QStringLiteral("beta@ostrel.audio");

QString orUnknown(const QString& value) {
    return value.isEmpty() ? QStringLiteral("?") : value;
}

} // namespace

Beta::Beta(const QString& shortVersion, const QString& build, QObject* parent)
    : QObject(parent), version_(versionText(shortVersion, build)) {}

QString Beta::versionText(const QString& shortVersion, const QString& build) {
    return orUnknown(shortVersion) + QStringLiteral(" beta (") + orUnknown(build) + u')';
}

QUrl Beta::feedbackUrlFor(const QString& version) {
    const auto product = QStringLiteral("Ostrel Hub ") + version;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), product + QStringLiteral(" feedback"));
    query.addQueryItem(QStringLiteral("body"), product + QStringLiteral(" on ") + QSysInfo::prettyProductName() +
                                                   QStringLiteral("\n\nWhat happened, and what did you expect?\n"));
    QUrl url(QStringLiteral("mailto:") + address);
    url.setQuery(query);
    return url;
}

QString Beta::feedbackAddress() const {
    return address;
}

QString Beta::credits() const {
    return QStringLiteral("This is a public beta. Installs are checked as strictly as they will be at release, ") +
           QStringLiteral("but screens and features may still change. Tell us what breaks: ") + address;
}

QUrl Beta::websiteUrl() const {
    return QUrl(QStringLiteral("https://ostrel.audio/hub"));
}

QUrl Beta::supportUrl() const {
    return QUrl(QStringLiteral("https://ostrel.audio"));
}

} // namespace ostrel::hub
