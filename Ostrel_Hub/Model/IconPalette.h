#pragma once

#include "Catalog/ImageDataCache.h"
#include "Services/HostPolicy.h"

#include <QColor>
#include <QCoroTask>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

namespace ostrel::hub {

// One colour per product icon, its average, for the screens to tint a tile or a placeholder
// with. Colours are computed off the GUI thread from the icon's bytes and stored here on it.
class IconPalette : public QObject {
    Q_OBJECT
    // Counts the colours stored so far. Screens read one colour with colorFor and name this in
    // the same binding to hear of new ones; handing them the whole map instead would copy every
    // colour into each tile whenever any icon is measured.
    Q_PROPERTY(int revision READ revision NOTIFY colorsChanged)
    // Keys whose colour is being computed.
    Q_PROPERTY(QStringList pending READ pending NOTIFY pendingChanged)

public:
    // `images` may be null: then no colour is ever found.
    IconPalette(std::shared_ptr<ImageDataCache> images, HostPolicy policy, QObject* parent = nullptr);

    // Product key → colour.
    QVariantMap colors() const { return colors_; }
    int revision() const { return revision_; }
    QStringList pending() const { return QStringList(pending_.begin(), pending_.end()); }

    // Computes the colour of the icon at `url` under `key`, unless that key is already being
    // computed or the address is not one images may come from.
    Q_INVOKABLE void load(const QString& key, const QString& url);
    // The stored colour, or an invalid one.
    Q_INVOKABLE QColor colorFor(const QString& key) const;

    // The area average of every pixel, weighted by coverage; invalid for a fully clear image.
    static QColor averageColor(const QImage& image);

signals:
    void colorsChanged();
    void pendingChanged();

private:
    QCoro::Task<> compute(QString key, Url url);

    const std::shared_ptr<ImageDataCache> images_;
    const HostPolicy policy_;
    QVariantMap colors_;
    int revision_ = 0;
    QSet<QString> pending_;
};

} // namespace ostrel::hub
