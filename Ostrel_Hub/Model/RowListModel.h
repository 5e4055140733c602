#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>
#include <QVariantMap>

namespace ostrel::hub {

// A short list of records for a screen (signed-in devices, purchases): each row is a map from
// role name to value, and the role names are fixed when the list is made. The rows are replaced
// as a whole; an unchanged list reports nothing.
class RowListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    RowListModel(QList<QByteArray> roles, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(rows_.size()); }
    const QList<QVariantMap>& rows() const { return rows_; }
    void setRows(QList<QVariantMap> rows);

signals:
    void countChanged();

private:
    QList<QByteArray> roles_;
    QList<QVariantMap> rows_;
};

} // namespace ostrel::hub
