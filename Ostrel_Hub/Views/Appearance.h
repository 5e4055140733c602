#pragma once

#include <QObject>

#include <QtQml/qqmlregistration.h>

namespace ostrel::hub {

// Dark or light, as the desktop prefers it (the freedesktop settings portal's colour scheme),
// unless the launch asks for one. The Theme reads it; snapshot runs set it to dark.
class Appearance : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ dark WRITE setDark NOTIFY darkChanged)

public:
    explicit Appearance(QObject* parent = nullptr);

    bool dark() const { return dark_; }
    void setDark(bool dark);

    // Fixes the appearance for the whole process before any screen loads.
    static void force(bool dark);

signals:
    void darkChanged();

private:
    bool dark_;
};

} // namespace ostrel::hub
