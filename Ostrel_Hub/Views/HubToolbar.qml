import QtQuick
import Ostrel.Hub

// Placeholder until the screen is built.
Item {
    property var hub
    implicitHeight: 48
}
