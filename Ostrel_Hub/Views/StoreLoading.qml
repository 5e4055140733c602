import QtQuick
import Ostrel.Hub

// What the store shows when it could not be reached and nothing was saved from last time.
Item {
    id: unavailable
    property var hub

    EmptyState {
        anchors.centerIn: parent
        width: Math.min(parent.width - 2 * Theme.padding, 460)
        iconName: "network-wireless-offline"
        title: "Store unavailable"
        message: "Could not reach the Ostrel store."
        actionTitle: "Try Again"
        onAction: if (unavailable.hub) unavailable.hub.refresh()
    }
}
