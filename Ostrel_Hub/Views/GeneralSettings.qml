import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Ostrel.Hub

// Settings' General tab: where installs go, the update switches, the currency prices are
// shown in, the version and the way to send feedback. `background` (the scheduled update:
// enabled, available, setEnabled(on)) and `updater` (the hub's own updates:
// automaticallyChecksForUpdates, automaticallyDownloadsUpdates) may be missing; their switches
// are then shown off and disabled.
Rectangle {
    id: pane
    property var hub
    property var background: null
    property var updater: null
    property var beta: null
    color: Theme.window

    readonly property bool hasBackground: background !== null && background !== undefined
    readonly property bool hasUpdater: updater !== null && updater !== undefined

    // The keyboard's place always scrolls into view, at any text size.
    readonly property var focusedItem: Window.activeFocusItem
    onFocusedItemChanged: reveal(focusedItem)
    function reveal(item) {
        let at = item
        while (at && at !== column)
            at = at.parent
        if (!at)
            return
        const top = item.mapToItem(column, 0, 0).y + column.y
        const margin = Theme.spacing * 2
        if (top - margin < scroller.contentY)
            scroller.contentY = Math.max(0, top - margin)
        else if (top + item.height + margin > scroller.contentY + scroller.height)
            scroller.contentY = Math.min(scroller.contentHeight - scroller.height, top + item.height + margin - scroller.height)
    }

    Flickable {
        id: scroller
        anchors.fill: parent
        contentHeight: column.implicitHeight + 2 * Theme.padding
        clip: true
        boundsBehavior: Flickable.StopAtBounds

        ColumnLayout {
            id: column
            x: Theme.padding
            y: Theme.padding
            width: scroller.width - 2 * Theme.padding
            spacing: Theme.spacing

            SettingsCard {
                SettingsRow {
                    title: "Plug-ins install to"
                    value: "~/Library/Audio/Plug-Ins"
                }
                SettingsSeparator {}
                SettingsRow {
                    title: "Apps install to"
                    value: "/Applications"
                }
            }

            SectionHeading {
                Layout.topMargin: Theme.spacing * 2
                Layout.bottomMargin: 2
                title: "Updates"
            }
            BoundSwitch {
                id: autoUpdate
                objectName: "autoUpdateSwitch"
                Layout.fillWidth: true
                text: "Install plug-in and app updates automatically"
                enabled: pane.hub !== null && pane.hub !== undefined
                value: enabled ? pane.hub.autoUpdate : false
                onSwitched: on => pane.hub.autoUpdate = on
            }
            BoundSwitch {
                objectName: "backgroundSwitch"
                Layout.fillWidth: true
                text: "Update in the background while Ostrel Hub is closed"
                detail: !pane.hasBackground ? "Not available in this build."
                        : !pane.background.available ? "Available when Ostrel Hub runs from where it was installed."
                        : ""
                enabled: pane.hasBackground && pane.background.available
                value: pane.hasBackground ? pane.background.enabled : false
                onSwitched: on => pane.background.setEnabled(on)
            }
            BoundSwitch {
                id: checks
                objectName: "checksSwitch"
                Layout.fillWidth: true
                text: "Check for new versions of Ostrel Hub"
                detail: pane.hasUpdater ? "" : "Not available in this build."
                enabled: pane.hasUpdater
                value: pane.hasUpdater ? pane.updater.automaticallyChecksForUpdates : false
                onSwitched: on => pane.updater.automaticallyChecksForUpdates = on
            }
            BoundSwitch {
                objectName: "installsSwitch"
                Layout.fillWidth: true
                text: "Install new versions of Ostrel Hub automatically"
                // Installing on its own needs the checks that find the new version.
                enabled: pane.hasUpdater && checks.value
                value: pane.hasUpdater ? pane.updater.automaticallyDownloadsUpdates : false
                onSwitched: on => pane.updater.automaticallyDownloadsUpdates = on
            }

            SettingsCard {
                Layout.topMargin: Theme.spacing * 2
                SettingsRow {
                    title: "Prices in"
                    CurrencyPicker {
                        objectName: "currencyPicker"
                        hub: pane.hub
                    }
                }
                SettingsSeparator {}
                SettingsRow {
                    title: "Version"
                    value: pane.beta ? pane.beta.version : ""
                }
                SettingsSeparator {}
                LinkButton {
                    objectName: "feedbackLink"
                    Layout.leftMargin: 14
                    Layout.topMargin: 11
                    Layout.bottomMargin: 11
                    text: "Send beta feedback"
                    font.pixelSize: Theme.bodySize
                    enabled: pane.beta !== null && pane.beta !== undefined
                    onClicked: Qt.openUrlExternally(pane.beta.feedbackUrl)
                }
            }
        }
    }
}
