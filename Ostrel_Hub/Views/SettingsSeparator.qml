import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The hairline between two rows of a settings card.
Rectangle {
    Layout.fillWidth: true
    Layout.leftMargin: 16
    implicitHeight: 1
    color: Theme.separator
    Accessible.ignored: true
}
