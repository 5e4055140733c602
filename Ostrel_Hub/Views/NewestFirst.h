#pragma once

#include <QSortFilterProxyModel>

#include <QtQml/qqmlregistration.h>

namespace ostrel::hub {

// A list turned around: the last row of the source comes first. The job queue lists its jobs
// oldest first; the Downloads screen shows the newest on top. Rows added, removed or changed
// in the source keep their turned-around places.
class NewestFirst : public QSortFilterProxyModel {
    Q_OBJECT
    QML_ELEMENT

public:
    explicit NewestFirst(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

} // namespace ostrel::hub
