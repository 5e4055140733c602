#pragma once

#include "Model/HubSection.h"
#include "Model/RowListBase.h"

namespace ostrel::hub {

// One sidebar row: the section and the count its badge shows (0: no badge).
struct SectionRow {
    HubSection section = HubSection::discover;
    int badge = 0;

    bool operator==(const SectionRow&) const = default;
};

// The sidebar: one row per section in sidebar order, with the group it is listed under and the
// count its badge shows.
class SectionListModel : public RowListBase<SectionRow> {
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

    int badge(HubSection section) const;
    // Only a real change is reported to the views.
    void setBadge(HubSection section, int count);

    // "" for the store's sections, "Yours" for the user's own, "Account" for the account.
    static QString group(HubSection section);
};

} // namespace ostrel::hub
