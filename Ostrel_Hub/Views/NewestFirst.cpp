#include "Views/NewestFirst.h"

namespace ostrel::hub {

NewestFirst::NewestFirst(QObject* parent) : QSortFilterProxyModel(parent) {
    setDynamicSortFilter(true);
    // A new source starts unsorted; sort it as soon as it is set.
    connect(this, &QAbstractProxyModel::sourceModelChanged, this, [this] { sort(0, Qt::AscendingOrder); });
}

bool NewestFirst::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    return left.row() > right.row();
}

} // namespace ostrel::hub
