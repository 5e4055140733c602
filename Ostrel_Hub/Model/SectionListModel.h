#pragma once

#include "Model/HubSection.h"

#include <QAbstractListModel>
#include <array>

namespace ostrel::hub {

// The sidebar: one row per section in sidebar order, with the group it is listed under and the
// count its badge shows (0: no badge).
class SectionListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        SectionRole = Qt::UserRole + 1,
        SectionIdRole,
        TitleRole,
        IconNameRole,
        BadgeRole,
        GroupRole,
    };

    explicit SectionListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int badge(HubSection section) const;
    // Only a real change is reported to the views.
    void setBadge(HubSection section, int count);

    // "" for the store's sections, "Yours" for the user's own, "Account" for the account.
    static QString group(HubSection section);

private:
    std::array<int, hubSectionCount> badges_{};
};

} // namespace ostrel::hub
