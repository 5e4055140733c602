#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QVariant>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace ostrel::hub {

// The row count the screens bind to. It lives apart from RowListBase because moc reads no
// templates.
class CountedListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    explicit CountedListModel(QObject* parent = nullptr);

    int count() const { return rowCount(); }

signals:
    void countChanged();
};

// A list of rows of one type for the screens. Each role is a name and how a row answers it, so
// a list states its roles once; QML reads them by name, C++ by `rows()`.
template <typename Row>
class RowListBase : public CountedListModel {
public:
    struct NamedRole {
        int id;
        QByteArray name;
        std::function<QVariant(const Row&)> value;
    };
    struct Options {
        // The role that also answers Qt::DisplayRole; none when 0.
        int displayRole = 0;
        // Rows that keep their items in order only report changed data, so views keep their
        // scroll position and focus.
        std::function<bool(const Row&, const Row&)> sameItem = nullptr;
        // Rows added after the unchanged ones are reported as inserted, not as a new list.
        bool growsAtEnd = false;
    };

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return {};
        if (role == Qt::DisplayRole)
            role = options_.displayRole;
        const auto found = std::ranges::find(roles_, role, &NamedRole::id);
        if (role == 0 || found == roles_.end())
            return {};
        return found->value(rows_[static_cast<std::size_t>(index.row())]);
    }

    QHash<int, QByteArray> roleNames() const override {
        QHash<int, QByteArray> names;
        for (const auto& role : roles_)
            names.insert(role.id, role.name);
        return names;
    }

    const std::vector<Row>& rows() const { return rows_; }

protected:
    RowListBase(std::vector<NamedRole> roles, Options options, QObject* parent)
        : CountedListModel(parent), roles_(std::move(roles)), options_(std::move(options)) {}

    // Replaces the rows as a whole; an unchanged list reports nothing. True when they changed.
    bool setRows(std::vector<Row> rows) {
        if (rows == rows_)
            return false;
        const auto before = rows_.size();
        if (!rows.empty() && options_.sameItem && std::ranges::equal(rows, rows_, options_.sameItem)) {
            rows_ = std::move(rows);
            emit dataChanged(index(0), index(count() - 1));
            return true;
        }
        if (options_.growsAtEnd && rows.size() > before && std::equal(rows_.begin(), rows_.end(), rows.begin())) {
            beginInsertRows({}, static_cast<int>(before), static_cast<int>(rows.size()) - 1);
            rows_ = std::move(rows);
            endInsertRows();
        } else {
            beginResetModel();
            rows_ = std::move(rows);
            endResetModel();
        }
        if (rows_.size() != before)
            emit countChanged();
        return true;
    }

    // Replaces one row, reporting the roles that may have changed with it.
    void setRow(std::size_t at, Row row, const QList<int>& changedRoles) {
        if (rows_[at] == row)
            return;
        rows_[at] = std::move(row);
        const QModelIndex changed = index(static_cast<int>(at));
        emit dataChanged(changed, changed, changedRoles);
    }

private:
    const std::vector<NamedRole> roles_;
    const Options options_;
    std::vector<Row> rows_;
};

} // namespace ostrel::hub
