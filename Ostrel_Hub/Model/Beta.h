#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

namespace ostrel::hub {

// The public beta's face: the version line, where feedback goes, the About text and the
// maker's pages the Help menu opens.
class Beta : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QString feedbackAddress READ feedbackAddress CONSTANT)
    Q_PROPERTY(QUrl feedbackUrl READ feedbackUrl CONSTANT)
    Q_PROPERTY(QString credits READ credits CONSTANT)
    Q_PROPERTY(QUrl websiteUrl READ websiteUrl CONSTANT)
    Q_PROPERTY(QUrl supportUrl READ supportUrl CONSTANT)

public:
    // The release's short version ("0.1.0") and its build number; either may be empty.
    Beta(const QString& shortVersion, const QString& build, QObject* parent = nullptr);

    // "<short version> beta (<build>)", a missing piece reading "?".
    static QString versionText(const QString& shortVersion, const QString& build);
    // A mail to the feedback address whose subject and body start with "Ostrel Hub " and `version`.
    static QUrl feedbackUrlFor(const QString& version);

    QString version() const { return version_; }
    QString feedbackAddress() const;
    QUrl feedbackUrl() const { return feedbackUrlFor(version_); }
    // The About panel's credits, ending in the feedback address.
    QString credits() const;
    QUrl websiteUrl() const;
    QUrl supportUrl() const;

private:
    QString version_;
};

} // namespace ostrel::hub
