#pragma once

#include <QObject>

#include <QtQml/qqmlregistration.h>

namespace ostrel::hub {

// Arrow-key movement through a grid of tiles. The grid reports its width and its tiles' count;
// this keeps the focused tile's index and whether the keyboard is driving (which shows the focus
// ring). Rows are as wide as the tiles that fit, so up and down move by a whole row.
class KeyboardGrid : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal width READ width WRITE setWidth NOTIFY layoutChanged)
    Q_PROPERTY(qreal spacing READ spacing WRITE setSpacing NOTIFY layoutChanged)
    Q_PROPERTY(qreal tileWidth READ tileWidth WRITE setTileWidth NOTIFY layoutChanged)
    Q_PROPERTY(int columns READ columns NOTIFY layoutChanged)
    Q_PROPERTY(int count READ count WRITE setCount NOTIFY countChanged)
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)
    Q_PROPERTY(bool keyboardActive READ keyboardActive WRITE setKeyboardActive NOTIFY keyboardActiveChanged)

public:
    explicit KeyboardGrid(QObject* parent = nullptr);

    // How many tiles fit side by side: never fewer than one.
    static int columnsFor(qreal width, qreal spacing, qreal tileWidth);
    // The index an arrow key moves to from `index`, or -1 when the key is not an arrow or the
    // target lies outside the list.
    static int target(int index, int key, int columns, int count);

    qreal width() const { return width_; }
    void setWidth(qreal width);
    qreal spacing() const { return spacing_; }
    void setSpacing(qreal spacing);
    qreal tileWidth() const { return tileWidth_; }
    void setTileWidth(qreal tileWidth);
    int columns() const { return columnsFor(width_, spacing_, tileWidth_); }
    int count() const { return count_; }
    void setCount(int count);
    int currentIndex() const { return currentIndex_; }
    void setCurrentIndex(int index);
    bool keyboardActive() const { return keyboardActive_; }
    void setKeyboardActive(bool active);

    // Handles one key press: true when focus moved; false leaves the key to others (no focused
    // tile, not an arrow, or nowhere to go).
    Q_INVOKABLE bool press(int key);

signals:
    void layoutChanged();
    void countChanged();
    void currentIndexChanged();
    void keyboardActiveChanged();

private:
    void setLayout(qreal& field, qreal value);

    qreal width_ = 0;
    qreal spacing_ = 0;
    qreal tileWidth_ = 1;
    int count_ = 0;
    int currentIndex_ = -1;
    bool keyboardActive_ = false;
};

} // namespace ostrel::hub
