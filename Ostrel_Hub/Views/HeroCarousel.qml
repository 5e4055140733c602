import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The featured products, one large card at a time. It moves on by itself every few seconds,
// but holds still while the pointer rests on it or the keyboard is inside it; left and right,
// the arrow buttons and the page dots move it by hand.
FocusScope {
    id: hero
    property var hub
    property var model
    // The model's own count: the view has no rows until it has a width.
    readonly property int count: model ? model.count : 0

    implicitHeight: Math.max(240, Math.round(Theme.titleSize * 3 + Theme.bodySize * 7 + 90))
    visible: count > 0

    function go(step) {
        if (count > 0)
            pages.currentIndex = (pages.currentIndex + step + count) % count
    }

    ListView {
        id: pages
        anchors.fill: parent
        anchors.leftMargin: Theme.padding
        anchors.rightMargin: Theme.padding
        orientation: ListView.Horizontal
        snapMode: ListView.SnapOneItem
        highlightRangeMode: ListView.StrictlyEnforceRange
        highlightMoveDuration: 650
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        focus: true
        keyNavigationEnabled: true
        // Each card is as wide as the view: before the layout gives the view its width, every
        // card would fit and all of them would be built at once.
        model: width > 0 ? hero.model : null
        Accessible.role: Accessible.List
        Accessible.name: "Featured"

        delegate: Rectangle {
            id: card
            width: pages.width
            height: pages.height
            radius: Theme.radius * 2
            focus: ListView.isCurrentItem
            gradient: Gradient {
                orientation: Gradient.Horizontal
                GradientStop { position: 0; color: tint.strong }
                GradientStop { position: 1; color: tint.color }
            }
            Accessible.role: Accessible.Grouping
            Accessible.name: "Featured: " + (model.name || "")

            TileTint {
                id: tint
                key: model.productId || ""
                iconUrl: model.iconUrl || ""
                palette: hero.hub ? hero.hub.palette : null
            }

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 40
                anchors.rightMargin: 48
                spacing: 32

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.alignment: Qt.AlignVCenter
                    spacing: 10
                    Text {
                        text: "Featured: " + (model.name || "")
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.captionSize
                        font.weight: Font.DemiBold
                        font.capitalization: Font.AllUppercase
                        font.letterSpacing: 0.8
                        color: tint.glyph
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                    Text {
                        text: model.name || ""
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.largeTitleSize
                        font.weight: Font.Bold
                        color: Theme.text
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                    Text {
                        text: model.tagline || ""
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.headlineSize
                        color: Theme.text
                        opacity: 0.8
                        wrapMode: Text.WordWrap
                        maximumLineCount: 2
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                        Layout.maximumWidth: 560
                    }
                    HubButton {
                        Layout.topMargin: 8
                        text: "Learn More"
                        prominent: true
                        focus: true
                        accessibleName: "Learn More about " + (model.name || "")
                        onClicked: if (hero.hub) hero.hub.show(model.productId)
                    }
                }
                ProductIcon {
                    Layout.alignment: Qt.AlignVCenter
                    key: model.productId || ""
                    iconUrl: model.iconUrl || ""
                    size: Math.min(140, card.height - 80)
                    color: Qt.rgba(1, 1, 1, Theme.dark ? 0.08 : 0.55)
                }
            }
        }
    }

    Row {
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 16
        anchors.right: parent.right
        anchors.rightMargin: Theme.padding + 20
        spacing: 8
        visible: hero.count > 1
        HubButton {
            iconName: "go-previous"
            accessibleName: "Previous featured product"
            onClicked: hero.go(-1)
        }
        HubButton {
            iconName: "go-next"
            accessibleName: "Next featured product"
            onClicked: hero.go(1)
        }
    }
    Row {
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 26
        anchors.left: parent.left
        anchors.leftMargin: Theme.padding + 40
        spacing: 7
        visible: hero.count > 1
        Repeater {
            model: hero.count
            Rectangle {
                width: index === pages.currentIndex ? 18 : 7
                height: 7
                radius: 3.5
                color: Theme.text
                opacity: index === pages.currentIndex ? 0.75 : 0.25
                Behavior on width { NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }
                MouseArea {
                    anchors.fill: parent
                    anchors.margins: -4
                    onClicked: pages.currentIndex = index
                }
            }
        }
    }

    HoverHandler { id: pointer }
    Timer {
        interval: 7000
        repeat: true
        running: hero.count > 1 && hero.visible && !pointer.hovered && !hero.activeFocus
                 && Qt.application.state === Qt.ApplicationActive
        onTriggered: hero.go(1)
    }
}
