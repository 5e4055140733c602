import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// A titled horizontal row of tiles with "See All". Tab enters the row; left and right move
// along it; Return or Space opens the focused tile.
ColumnLayout {
    id: shelf
    property var hub
    property string title
    property string caption
    property var model
    property bool extras: false
    property bool seeAllVisible: true
    signal seeAll()

    spacing: 12
    visible: list.count > 0

    RowLayout {
        Layout.fillWidth: true
        Layout.leftMargin: Theme.padding
        Layout.rightMargin: Theme.padding
        spacing: 12
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                text: shelf.title
                font.family: Theme.fontFamily
                font.pixelSize: Theme.titleSize * 0.8
                font.weight: Font.Bold
                color: Theme.text
                elide: Text.ElideRight
                Layout.fillWidth: true
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Text {
                visible: text.length > 0
                text: shelf.caption
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.secondaryText
                wrapMode: Text.WordWrap
                Layout.fillWidth: true
            }
        }
        SeeAllButton {
            visible: shelf.seeAllVisible
            text: "See All"
            Layout.alignment: Qt.AlignBottom
            onClicked: shelf.seeAll()
        }
    }

    ListView {
        id: list
        Layout.fillWidth: true
        Layout.preferredHeight: Theme.tileHeight + 8
        orientation: ListView.Horizontal
        spacing: Theme.tileSpacing
        leftMargin: Theme.padding
        rightMargin: Theme.padding
        topMargin: 4
        bottomMargin: 4
        clip: true
        model: shelf.model
        activeFocusOnTab: count > 0
        boundsBehavior: Flickable.StopAtBounds
        highlightMoveDuration: 250
        highlightRangeMode: ListView.ApplyRange
        preferredHighlightBegin: Theme.padding
        preferredHighlightEnd: width - Theme.padding
        cacheBuffer: 400
        Accessible.role: Accessible.List
        Accessible.name: shelf.title
        Basic.ScrollBar.horizontal: Basic.ScrollBar { policy: Basic.ScrollBar.AsNeeded }

        delegate: ProductTile {
            // A list model's roles, or one entry of a plain list of rows.
            readonly property var row: model.modelData !== undefined ? model.modelData : model
            width: Theme.tileWidth
            height: Theme.tileHeight
            focus: ListView.isCurrentItem
            standalone: false
            hub: shelf.hub
            productId: shelf.extras ? "" : (row.productId || "")
            extraId: shelf.extras ? (row.itemId || "") : ""
            name: (shelf.extras ? row.title : row.name) || ""
            tagline: (shelf.extras ? row.summary : row.tagline) || ""
            iconUrl: row.iconUrl || ""
            badge: shelf.extras ? (row.kindTitle || "") : ""
        }
    }
}
