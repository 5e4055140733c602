import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic as Basic
import QtQuick.Window
import Ostrel.Hub

// A product's screenshots as a horizontal strip; a click, Return or Space opens one full size.
ColumnLayout {
    id: gallery
    property string productId
    property string productName
    property var shots: []

    readonly property int count: shots ? shots.length : 0
    property int loadedCount: 0

    spacing: 10
    visible: count > 0

    ListView {
        id: strip
        Layout.fillWidth: true
        Layout.preferredHeight: 260
        orientation: ListView.Horizontal
        spacing: 14
        clip: true
        model: gallery.shots
        activeFocusOnTab: count > 0
        boundsBehavior: Flickable.StopAtBounds
        highlightMoveDuration: 250
        Accessible.role: Accessible.List
        Accessible.name: "Screenshots"
        Basic.ScrollBar.horizontal: Basic.ScrollBar { policy: Basic.ScrollBar.AsNeeded }

        delegate: Item {
            id: cell
            width: Math.round(strip.height * 16 / 10)
            height: strip.height - 10
            focus: ListView.isCurrentItem
            Accessible.role: Accessible.Button
            Accessible.name: "Screenshot " + (index + 1) + " of " + gallery.count
            Accessible.onPressAction: viewer.openAt(index)
            Keys.onReturnPressed: viewer.openAt(index)
            Keys.onEnterPressed: viewer.openAt(index)
            Keys.onSpacePressed: viewer.openAt(index)

            ScreenshotFrame {
                id: frame
                anchors.fill: parent
                url: modelData
                key: gallery.productId + index
                productName: gallery.productName
                // Decoded at the size it is drawn: a larger picture would be scaled down again
                // every time the strip is painted.
                maxPixels: Math.ceil(cell.width * Math.max(1, Screen.devicePixelRatio))
                onLoadedChanged: gallery.loadedCount += loaded ? 1 : -1
            }
            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: viewer.openAt(index)
            }
            FocusRing {
                visible: cell.activeFocus
                radius: Theme.radius + 3
            }
        }
    }
    Text {
        visible: gallery.loadedCount === 0
        text: "Screenshots are on their way."
        font.family: Theme.fontFamily
        font.pixelSize: Theme.captionSize
        color: Theme.secondaryText
    }

    // The full-size viewer is made the first time a screenshot is opened, not with every page.
    LazyPopup {
        id: viewer
        function openAt(at) {
            made().openAt(at)
        }
        sourceComponent: ScreenshotViewer {
            productId: gallery.productId
            productName: gallery.productName
            shots: gallery.shots
        }
    }
}
