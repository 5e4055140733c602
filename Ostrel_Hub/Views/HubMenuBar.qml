import QtQuick
import QtQuick.Controls.Basic
import Ostrel.Hub

// The main window's menus. What needs the window (focus, sections, About) goes out as signals;
// the rest calls the app model.
MenuBar {
    id: bar
    property var hub
    property var beta
    property var updater
    property bool signedIn: false
    signal sectionChosen(var section)
    signal searchChosen()
    signal aboutChosen()
    signal settingsChosen()
    signal quitChosen()

    readonly property var navigation: hub ? hub.navigation : null
    // Sections by their scoped name: this Qt resolves a namespace's enum class only that way.

    font.family: Theme.fontFamily
    font.pixelSize: Theme.bodySize
    Accessible.name: "Menu bar"

    LazyMenu {
        title: "Ostrel Hub"
        actions: [
            Action {
                text: "About Ostrel Hub"
                onTriggered: bar.aboutChosen()
            },
            Action {
                text: "Check for Updates..."
                enabled: bar.updater ? bar.updater.canCheck : false
                onTriggered: bar.updater.checkForUpdates()
            },
            Action {
                text: "Settings..."
                shortcut: "Ctrl+,"
                onTriggered: bar.settingsChosen()
            },
            Action {
                property bool separatorBefore: true
                text: "Quit Ostrel Hub"
                shortcut: StandardKey.Quit
                onTriggered: bar.quitChosen()
            }
        ]
    }
    LazyMenu {
        title: "File"
        actions: [
            Action {
                text: "Refresh"
                shortcut: "Ctrl+R"
                enabled: bar.hub !== null && bar.hub !== undefined
                onTriggered: bar.hub.refresh()
            },
            Action {
                text: "Search"
                shortcut: "Ctrl+F"
                onTriggered: bar.searchChosen()
            }
        ]
    }
    LazyMenu {
        id: store
        title: "Store"
        actions: [
            Action {
                text: "Back"
                shortcut: "Ctrl+["
                enabled: bar.navigation ? bar.navigation.path.length > 0 : false
                onTriggered: bar.hub.goBack()
            },
            Action {
                property bool separatorBefore: true
                text: "Discover"
                shortcut: "Ctrl+1"
                onTriggered: bar.sectionChosen(HubSection.HubSection.discover)
            },
            Action {
                text: "Plug-ins"
                shortcut: "Ctrl+2"
                onTriggered: bar.sectionChosen(HubSection.HubSection.plugIns)
            },
            Action {
                text: "Apps"
                shortcut: "Ctrl+3"
                onTriggered: bar.sectionChosen(HubSection.HubSection.apps)
            },
            Action {
                text: "Library"
                shortcut: "Ctrl+4"
                onTriggered: bar.sectionChosen(HubSection.HubSection.library)
            },
            Action {
                text: "Updates"
                shortcut: "Ctrl+5"
                onTriggered: bar.sectionChosen(HubSection.HubSection.updates)
            },
            Action {
                text: "Downloads"
                shortcut: "Ctrl+6"
                onTriggered: bar.sectionChosen(HubSection.HubSection.downloads)
            },
            Action {
                property bool separatorBefore: true
                text: "Update All"
                shortcut: "Ctrl+Shift+U"
                enabled: bar.hub ? bar.hub.updateCount > 0 : false
                onTriggered: bar.hub.updateAll()
            },
            Action {
                text: bar.signedIn ? "Account" : "Sign In"
                shortcut: "Ctrl+Shift+A"
                enabled: bar.hub !== null && bar.hub !== undefined
                onTriggered: {
                    if (bar.signedIn)
                        bar.sectionChosen(HubSection.HubSection.account)
                    else
                        bar.hub.signInFlow.open()
                }
            }
        ]
    }
    LazyMenu {
        title: "Help"
        actions: [
            Action {
                text: "Send Beta Feedback..."
                enabled: bar.beta !== null && bar.beta !== undefined
                onTriggered: Qt.openUrlExternally(bar.beta.feedbackUrl)
            },
            Action {
                text: "Ostrel Hub Website"
                enabled: bar.beta !== null && bar.beta !== undefined
                onTriggered: Qt.openUrlExternally(bar.beta.websiteUrl)
            },
            Action {
                text: "Ostrel Support"
                enabled: bar.beta !== null && bar.beta !== undefined
                onTriggered: Qt.openUrlExternally(bar.beta.supportUrl)
            }
        ]
    }
}
