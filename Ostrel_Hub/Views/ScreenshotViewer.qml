import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Ostrel.Hub

// The screenshots full size over the window, one at a time, with previous and next, the
// position and "Done". Escape closes it; the arrow keys page through.
Popup {
    id: viewer
    property string productId
    property string productName
    property var shots: []
    property int index: 0
    readonly property int count: shots ? shots.length : 0

    function openAt(at) {
        index = at
        open()
    }
    function step(by) {
        if (count > 0)
            index = (index + by + count) % count
    }

    parent: T.Overlay.overlay
    x: 0
    y: 0
    width: parent ? parent.width : 0
    height: parent ? parent.height : 0
    modal: true
    focus: true
    padding: 40
    closePolicy: Popup.CloseOnEscape
    dim: false
    background: Rectangle { color: Theme.dark ? "#E6000000" : "#CC101014" }
    enter: Transition { NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 180; easing.type: Easing.OutCubic } }
    exit: Transition { NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 140 } }

    contentItem: FocusScope {
        focus: true
        Keys.onLeftPressed: viewer.step(-1)
        Keys.onRightPressed: viewer.step(1)

        ColumnLayout {
            anchors.fill: parent
            spacing: 18

            ScreenshotFrame {
                id: frame
                Layout.fillWidth: true
                Layout.fillHeight: true
                url: viewer.count > 0 ? viewer.shots[viewer.index] : ""
                key: viewer.productId + viewer.index
                productName: viewer.productName
                maxPixels: 2400
                Accessible.role: Accessible.Graphic
                Accessible.name: "Screenshot " + (viewer.index + 1) + " of " + viewer.count
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                HubButton {
                    iconName: "go-previous"
                    accessibleName: "Previous screenshot"
                    enabled: viewer.count > 1
                    onClicked: viewer.step(-1)
                }
                Text {
                    text: (viewer.index + 1) + " of " + viewer.count
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.bodySize
                    font.weight: Font.Medium
                    color: "#FFFFFF"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                HubButton {
                    iconName: "go-next"
                    accessibleName: "Next screenshot"
                    enabled: viewer.count > 1
                    onClicked: viewer.step(1)
                }
                Item { Layout.fillWidth: true }
                HubButton {
                    text: "Done"
                    prominent: true
                    focus: true
                    onClicked: viewer.close()
                }
            }
        }
    }
}
