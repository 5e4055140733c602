import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The Settings window's content: the tabs "General" and "Security" over the chosen pane.
// Which tab is open is this screen's own state; everything else belongs to the app model, the
// scheduled update (`background`) and the hub's own updater (`updater`), either of which may
// be missing.
Rectangle {
    id: view
    property var hub
    property var background: null
    property var updater: null
    property var beta: null
    // 0 General, 1 Security.
    property int tab: 0
    readonly property string tabTitle: tabs.itemAt(tab) ? tabs.itemAt(tab).text : ""

    color: Theme.window
    implicitWidth: 560
    implicitHeight: 640
    Accessible.role: Accessible.PageTabList
    Accessible.name: "Settings"

    // The keyboard moves with the choice when it was on the tabs; it moves first, since the
    // tab left behind stops taking focus.
    function choose(index) {
        if (index < 0 || index >= tabs.count)
            return
        const item = tabs.itemAt(index)
        if (item && tabs.itemAt(tab) && tabs.itemAt(tab).activeFocus)
            item.forceActiveFocus(Qt.TabFocusReason)
        tab = index
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: bar.implicitHeight + 2 * Theme.spacing + 4
            color: Theme.sidebar

            Row {
                id: bar
                anchors.centerIn: parent
                spacing: Theme.spacing
                Repeater {
                    id: tabs
                    model: [{ title: "General", icon: "emblem-system" },
                            { title: "Security", icon: "security-high" }]
                    SettingsTab {
                        required property int index
                        required property var modelData
                        objectName: "tab" + modelData.title
                        text: modelData.title
                        iconName: modelData.icon
                        chosen: view.tab === index
                        onClicked: view.choose(index)
                        Keys.onLeftPressed: view.choose(index - 1)
                        Keys.onRightPressed: view.choose(index + 1)
                    }
                }
            }
            Rectangle {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                height: 1
                color: Theme.separator
            }
        }

        StackLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: view.tab

            GeneralSettings {
                objectName: "generalPane"
                hub: view.hub
                background: view.background
                updater: view.updater
                beta: view.beta
            }
            SecurityPane {
                objectName: "securityPane"
                hub: view.hub
            }
        }
    }
}
