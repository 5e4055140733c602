#pragma once

#include "Model/RowListBase.h"

#include <QByteArray>
#include <QList>
#include <QVariantMap>

namespace ostrel::hub {

// A short list of records for a screen (signed-in devices, purchases): each row is a map from
// role name to value, and the role names are fixed when the list is made. The rows are replaced
// as a whole; an unchanged list reports nothing.
class RowListModel : public RowListBase<QVariantMap> {
    Q_OBJECT

public:
    RowListModel(const QList<QByteArray>& roles, QObject* parent = nullptr);

    void setRows(const QList<QVariantMap>& rows);
};

} // namespace ostrel::hub
