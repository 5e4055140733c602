#pragma once

#include <QAbstractListModel>
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
class ExtrasListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

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

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(rows_.size()); }
    const std::vector<ExtrasRow>& rows() const { return rows_; }
    void setRows(std::vector<ExtrasRow> rows);

signals:
    void countChanged();

private:
    std::vector<ExtrasRow> rows_;
};

} // namespace ostrel::hub
