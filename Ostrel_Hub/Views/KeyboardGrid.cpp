#include "Views/KeyboardGrid.h"

#include <algorithm>
#include <cmath>

namespace ostrel::hub {

KeyboardGrid::KeyboardGrid(QObject* parent) : QObject(parent) {}

int KeyboardGrid::columnsFor(qreal width, qreal spacing, qreal tileWidth) {
    const qreal step = spacing + tileWidth;
    if (step <= 0)
        return 1;
    return std::max(1, static_cast<int>(std::floor((width + spacing) / step)));
}

int KeyboardGrid::target(int index, int key, int columns, int count) {
    int to = -1;
    switch (key) {
    case Qt::Key_Left:
        to = index - 1;
        break;
    case Qt::Key_Right:
        to = index + 1;
        break;
    case Qt::Key_Up:
        to = index - columns;
        break;
    case Qt::Key_Down:
        to = index + columns;
        break;
    default:
        return -1;
    }
    return to >= 0 && to < count ? to : -1;
}

void KeyboardGrid::setLayout(qreal& field, qreal value) {
    if (field == value)
        return;
    field = value;
    emit layoutChanged();
}

void KeyboardGrid::setWidth(qreal width) {
    setLayout(width_, width);
}

void KeyboardGrid::setSpacing(qreal spacing) {
    setLayout(spacing_, spacing);
}

void KeyboardGrid::setTileWidth(qreal tileWidth) {
    setLayout(tileWidth_, tileWidth);
}

void KeyboardGrid::setCount(int count) {
    if (count_ == count)
        return;
    count_ = count;
    emit countChanged();
    if (currentIndex_ >= count_)
        setCurrentIndex(count_ - 1);
}

void KeyboardGrid::setCurrentIndex(int index) {
    if (currentIndex_ == index)
        return;
    currentIndex_ = index;
    emit currentIndexChanged();
}

void KeyboardGrid::setKeyboardActive(bool active) {
    if (keyboardActive_ == active)
        return;
    keyboardActive_ = active;
    emit keyboardActiveChanged();
}

bool KeyboardGrid::press(int key) {
    if (currentIndex_ < 0 || currentIndex_ >= count_)
        return false;
    const int to = target(currentIndex_, key, columns(), count_);
    if (to < 0)
        return false;
    setKeyboardActive(true);
    setCurrentIndex(to);
    return true;
}

} // namespace ostrel::hub
