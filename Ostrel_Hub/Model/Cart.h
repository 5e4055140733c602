#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace ostrel::hub {

// The products the user means to buy, in the order they were added; each at most once. Kept in
// memory only: a new run starts with an empty cart.
class Cart : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList ids READ ids NOTIFY changed)
    Q_PROPERTY(int count READ count NOTIFY changed)

public:
    explicit Cart(QObject* parent = nullptr);

    QStringList ids() const { return ids_; }
    int count() const { return static_cast<int>(ids_.size()); }
    Q_INVOKABLE bool contains(const QString& id) const { return ids_.contains(id); }
    // Adds the product at the end; one already in the cart moves to the end.
    Q_INVOKABLE void add(const QString& id);
    Q_INVOKABLE void remove(const QString& id);
    Q_INVOKABLE void clear();

signals:
    void changed();

private:
    QStringList ids_;
};

} // namespace ostrel::hub
