#include "Model/Cart.h"

namespace ostrel::hub {

Cart::Cart(QObject* parent) : QObject(parent) {}

void Cart::add(const QString& id) {
    if (!ids_.isEmpty() && ids_.last() == id)
        return;
    ids_.removeAll(id);
    ids_.append(id);
    emit changed();
}

void Cart::remove(const QString& id) {
    if (ids_.removeAll(id) > 0)
        emit changed();
}

void Cart::clear() {
    if (ids_.isEmpty())
        return;
    ids_.clear();
    emit changed();
}

} // namespace ostrel::hub
