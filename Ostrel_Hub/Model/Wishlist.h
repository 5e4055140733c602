#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <set>

namespace ostrel::hub {

class HubSettings;

// The products the user keeps an eye on. Every change is stored at once in the settings, which
// must outlive the list.
class Wishlist : public QObject {
    Q_OBJECT
    // The product ids, in code-point order.
    Q_PROPERTY(QStringList ids READ ids NOTIFY idsChanged)

public:
    explicit Wishlist(HubSettings& settings, QObject* parent = nullptr);

    QStringList ids() const;
    Q_INVOKABLE bool contains(const QString& id) const;
    // Adds the product, or removes it when it is already there.
    Q_INVOKABLE void toggle(const QString& id);
    // Drops products the user has just bought.
    void removeAll(const QStringList& ids);

signals:
    void idsChanged();

private:
    void changed();

    HubSettings& settings_;
    std::set<QString> ids_;
};

} // namespace ostrel::hub
