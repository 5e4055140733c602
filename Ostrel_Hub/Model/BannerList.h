#pragma once

#include "Model/Banner.h"

#include <QAbstractListModel>
#include <QBasicTimer>
#include <QList>
#include <QUuid>
#include <vector>

namespace ostrel::hub {

// The banner strip: short messages stacked in arrival order, each leaving on its own after its
// lifetime or at once when the user dismisses it.
class BannerList : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { bannerIdRole = Qt::UserRole + 1, toneRole, textRole, symbolRole };

    explicit BannerList(BannerLifetimes lifetimes = {}, QObject* parent = nullptr);
    ~BannerList() override;

    // Shows a banner and gives its id.
    QUuid flash(Banner::Tone tone, const QString& text);
    void dismiss(const QUuid& id);
    // The same for the screens, which hold ids as text.
    Q_INVOKABLE void dismiss(const QString& id);

    int count() const;
    QList<Banner> banners() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    struct Shown {
        Banner banner;
        // Stops with the row, so a dismissed banner's lifetime never fires.
        QBasicTimer expiry;
    };

    void removeAt(int row);

    BannerLifetimes lifetimes_;
    std::vector<Shown> shown_;
};

} // namespace ostrel::hub
