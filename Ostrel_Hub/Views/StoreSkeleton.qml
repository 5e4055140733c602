import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The shape of the store while it loads the first time: a hero and two shelves of empty
// cards, breathing gently.
Item {
    id: skeleton
    Accessible.role: Accessible.Animation
    Accessible.name: "Loading the store"

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: Theme.padding
        spacing: 22

        SequentialAnimation on opacity {
            loops: Animation.Infinite
            running: skeleton.visible
            NumberAnimation { from: 1; to: 0.55; duration: 900; easing.type: Easing.InOutSine }
            NumberAnimation { from: 0.55; to: 1; duration: 900; easing.type: Easing.InOutSine }
        }

        Text {
            text: "Loading the store"
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            color: Theme.secondaryText
        }
        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 240
            radius: Theme.radius * 2
            color: Theme.card
        }
        Repeater {
            model: 2
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 12
                Rectangle { width: 200; height: Theme.headlineSize * 1.3; radius: 6; color: Theme.card }
                Row {
                    spacing: Theme.tileSpacing
                    Layout.fillWidth: true
                    clip: true
                    Repeater {
                        model: 6
                        Rectangle {
                            width: Theme.tileWidth
                            height: 220
                            radius: Theme.radius + 4
                            color: Theme.card
                        }
                    }
                }
            }
        }
        Item { Layout.fillHeight: true }
    }
}
