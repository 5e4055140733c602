import QtQuick
import Ostrel.Hub

// The banners floating over the top of the detail column, oldest first. Each slides in and
// fades; a dismissed or expired banner fades out and the others close up.
ListView {
    id: stack
    property var hub

    model: hub ? hub.banners : null
    interactive: false
    spacing: Theme.spacing
    implicitWidth: 560
    implicitHeight: contentHeight
    height: contentHeight
    Accessible.ignored: count === 0

    delegate: BannerView {
        width: ListView.view.width
        onDismissed: id => stack.hub.banners.dismiss(id)
    }

    add: Transition {
        ParallelAnimation {
            NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 220; easing.type: Easing.OutCubic }
            NumberAnimation { property: "y"; from: -24; duration: 260; easing.type: Easing.OutCubic }
        }
    }
    remove: Transition {
        NumberAnimation { property: "opacity"; to: 0; duration: 180; easing.type: Easing.InCubic }
    }
    displaced: Transition {
        NumberAnimation { property: "y"; duration: 220; easing.type: Easing.OutCubic }
    }
}
