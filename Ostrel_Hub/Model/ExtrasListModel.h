#pragma once

#include "Model/RowListBase.h"

#include <QString>
#include <vector>

namespace ostrel::hub {

// One extras item as a tile shows it.
struct ExtrasRow {
    QString itemId{};
    QString title{};
    QString summary{};
    QString iconUrl{};
    QString kindTitle{};
    QString route{}; // "hub", "release", "github" or "soon"

    bool operator==(const ExtrasRow&) const = default;
};

// A shelf of extras items (Free Tools, Early Access) or the extras found by a search. The rows
// are replaced as a whole; an unchanged list reports nothing.
class ExtrasListModel : public RowListBase<ExtrasRow> {
    Q_OBJECT

public:
    enum Role {
        ItemIdRole = Qt::UserRole + 1,
        TitleRole,
        SummaryRole,
        IconUrlRole,
        KindTitleRole,
        RouteRole,
    };

    explicit ExtrasListModel(QObject* parent = nullptr);

    using RowListBase::setRows;
};

} // namespace ostrel::hub
