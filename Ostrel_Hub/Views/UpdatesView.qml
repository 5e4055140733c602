import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The installed products with a newer release, with their release notes, the switch for
// automatic updates and "Update All"; below them everything installed on this machine.
Rectangle {
    id: view
    property var hub
    color: Theme.window

    readonly property bool signedIn: hub ? hub.signedIn : false
    readonly property int updateCount: hub ? hub.updateCount : 0

    ScreenList {
        id: list
        objectName: "installedList"
        anchors.fill: parent
        model: view.signedIn && view.hub ? view.hub.installedProducts : null

        header: Column {
            width: list.width
            onHeightChanged: Qt.callLater(list.keepTop)
            topPadding: Theme.padding

            ColumnLayout {
                x: Theme.padding
                width: parent.width - 2 * Theme.padding
                spacing: 16

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 12
                    ScreenHeader {
                        Layout.fillWidth: true
                        title: "Updates"
                        caption: view.signedIn && view.hub ? view.hub.lastCheckedText : ""
                    }
                    HubButton {
                        Layout.alignment: Qt.AlignBottom
                        visible: view.signedIn
                        text: "Update All"
                        iconName: "software-update-available"
                        prominent: true
                        enabled: view.updateCount > 0
                        onClicked: view.hub.updateAll()
                    }
                }
                SettingSwitch {
                    Layout.fillWidth: true
                    visible: view.signedIn
                    text: "Install updates automatically"
                    detail: "When an update is published, download, check and install it without asking."
                    checked: view.hub ? view.hub.autoUpdate : false
                    onToggled: view.hub.autoUpdate = checked
                }
                SectionHeading {
                    Layout.topMargin: 12
                    Layout.bottomMargin: 4
                    visible: view.signedIn
                    title: "Available"
                    detail: view.updateCount > 0 ? String(view.updateCount) : ""
                }
            }
            // The available updates sit under their heading; there are only ever a few, one
            // per installed product at most.
            Repeater {
                model: view.signedIn && view.hub ? view.hub.updatesAvailable : null
                delegate: UpdateRow {
                    width: list.width
                    hub: view.hub
                    productId: model.productId
                    name: model.name
                    iconUrl: model.iconUrl
                }
            }
            Item {
                width: parent.width
                height: upToDate.implicitHeight + 48
                visible: view.signedIn && view.updateCount === 0
                EmptyState {
                    id: upToDate
                    anchors.centerIn: parent
                    width: Math.min(parent.width - 2 * Theme.padding, 460)
                    iconName: "emblem-ok"
                    title: "Everything you installed is up to date."
                }
            }
            SectionHeading {
                x: Theme.padding
                topPadding: 20
                bottomPadding: 4
                visible: view.signedIn && list.count > 0
                title: "Installed"
                detail: String(list.count)
            }
        }

        delegate: InstalledRow {
            width: ListView.view.width
            hub: view.hub
            productId: model.productId
            name: model.name
            iconUrl: model.iconUrl
            version: model.installedVersion
        }
    }

    SignedOutPrompt {
        anchors.centerIn: parent
        width: Math.min(parent.width - 2 * Theme.padding, 460)
        visible: !view.signedIn
        hub: view.hub
        title: "Sign in to see updates for what you own."
    }
}
