#include "Model/RowListModel.h"

namespace ostrel::hub {
namespace {

// Role numbers in the order of the names, each reading the row's value under its name.
std::vector<RowListBase<QVariantMap>::NamedRole> byName(const QList<QByteArray>& names) {
    std::vector<RowListBase<QVariantMap>::NamedRole> roles;
    for (int at = 0; at < names.size(); ++at)
        roles.push_back({Qt::UserRole + 1 + at, names[at],
                         [key = QString::fromLatin1(names[at])](const QVariantMap& row) { return row.value(key); }});
    return roles;
}

} // namespace

RowListModel::RowListModel(const QList<QByteArray>& roles, QObject* parent) : RowListBase(byName(roles), {}, parent) {}

void RowListModel::setRows(const QList<QVariantMap>& rows) {
    RowListBase::setRows({rows.begin(), rows.end()});
}

} // namespace ostrel::hub
