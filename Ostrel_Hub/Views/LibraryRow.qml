import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One owned product in the library: its formats, whether and which version is installed, a
// warning about an older copy the hosts may also load, its action button and a menu of the rest.
ListRow {
    id: row
    property var hub
    property string productId
    property string name
    property string iconUrl

    // Re-read whenever an action state may have changed (installs, the ledger, the catalogue).
    readonly property var details: hub ? (hub.actionRevision, hub.libraryRow(productId)) : ({})
    readonly property bool installed: details.installed === true

    implicitHeight: layout.implicitHeight + 2 * 14
    // Keep the row with the keyboard in view while tabbing through a long list.

    RowLayout {
        id: layout
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.leftMargin: Theme.padding
        anchors.rightMargin: Theme.padding
        spacing: 14

        RowIcon {
            Layout.alignment: Qt.AlignTop
            url: row.iconUrl
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.name
                font.family: Theme.fontFamily
                font.pixelSize: Theme.headlineSize
                font.weight: Font.DemiBold
                color: Theme.text
                elide: Text.ElideRight
            }
            Text {
                Layout.fillWidth: true
                visible: text.length > 0
                text: row.details.formats || ""
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                color: Theme.tertiaryText
                elide: Text.ElideRight
            }
            Text {
                Layout.fillWidth: true
                text: row.details.stateLine || ""
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.secondaryText
                wrapMode: Text.WordWrap
            }
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 2
                visible: row.details.olderCopy === true
                spacing: 6
                Icon {
                    Layout.alignment: Qt.AlignTop
                    name: "dialog-warning"
                    size: Math.round(Theme.captionSize * 1.2)
                    color: Theme.warning
                }
                Text {
                    Layout.fillWidth: true
                    text: "An older copy is also in /Library/Audio/Plug-Ins. Hosts may load both."
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.captionSize
                    color: Theme.warning
                    wrapMode: Text.WordWrap
                }
            }
        }
        ActionButton {
            Layout.alignment: Qt.AlignVCenter
            hub: row.hub
            productId: row.productId
        }
        HubButton {
            id: more
            Layout.alignment: Qt.AlignVCenter
            iconName: "view-more"
            accessibleName: "More actions for " + row.name
            help: "More actions"
            onClicked: menu.popup(more, more.width - menu.width, more.height + 4)
        }
    }

    ActionsMenu {
        id: menu
        ActionsMenuItem {
            text: "Open"
            enabled: row.installed && row.details.isApp === true
            onTriggered: row.hub.openApp(row.productId)
        }
        ActionsMenuItem {
            text: "View in Finder"
            enabled: row.installed
            onTriggered: row.hub.reveal(row.productId)
        }
        ActionsMenuItem {
            text: "Reinstall"
            enabled: row.installed
            onTriggered: row.hub.install(row.productId, false)
        }
        ActionsMenuItem {
            text: "Check This Release Without Installing"
            onTriggered: row.hub.install(row.productId, true)
        }
        ActionsMenuItem {
            text: "Move to Trash"
            enabled: row.installed
            destructive: true
            onTriggered: row.hub.uninstall(row.productId)
        }
        ActionsMenuItem {
            text: "View in Store"
            onTriggered: row.hub.show(row.productId)
        }
    }
}
