import QtQuick
import QtQuick.Controls.Basic
import Ostrel.Hub

// The one main window, titled "Ostrel Hub", with the menu bar. It reports the first content
// to the launch clock, once the store shows and a frame with it has reached the screen.
ApplicationWindow {
    id: window
    property var hub
    // The launch clock (firstContent(source)), the beta's version and links, and the
    // self-updater once the hub updates itself (canCheck, checkForUpdates()).
    property var launch: null
    property var beta: null
    property var updater: null
    // The background-update agent for the Settings switch (enabled, status, available, error,
    // setEnabled(on), refresh()). Not "background": that is the window's own final property.
    property var backgroundUpdates: null

    readonly property var navigation: hub ? hub.navigation : null
    readonly property bool signedIn: hub ? (hub.storeConnected || hub.ostrelSignedIn) : false

    title: "Ostrel Hub"
    minimumWidth: 980
    minimumHeight: 640
    width: 1200
    height: 780
    color: Theme.window
    font.family: Theme.fontFamily

    // A menu choice always lands on the section: the model clears the search first.
    function selectSection(section) {
        if (hub)
            hub.selectSection(section)
    }

    function findByObjectName(item, name) {
        if (!item)
            return null
        if (item.objectName === name)
            return item
        for (let i = 0; i < item.children.length; ++i) {
            const found = findByObjectName(item.children[i], name)
            if (found)
                return found
        }
        return null
    }

    function focusSearch() {
        const field = findByObjectName(root, "searchField")
        if (field)
            field.forceActiveFocus()
    }

    // The first content: the store is on screen (from the saved catalogue or the network).
    property string firstContentSource: ""
    readonly property bool storeShown: hub ? hub.hasStorefront : false
    onStoreShownChanged: noteFirstContent()
    Component.onCompleted: noteFirstContent()
    function noteFirstContent() {
        if (!storeShown || !launch || launch.reported || firstContentSource.length > 0)
            return
        firstContentSource = hub.storefrontIsCached ? "cache" : "network"
        window.update()
    }
    onFrameSwapped: {
        if (firstContentSource.length > 0 && launch && !launch.reported)
            launch.firstContent(firstContentSource)
    }

    menuBar: HubMenuBar {
        hub: window.hub
        beta: window.beta
        updater: window.updater
        signedIn: window.signedIn
        onSectionChosen: section => window.selectSection(section)
        onSearchChosen: window.focusSearch()
        onAboutChosen: {
            about.active = true
            about.item.show()
        }
        onSettingsChosen: window.openSettings()
        onQuitChosen: Qt.quit()
    }

    // Back has a second shortcut, the usual one of browsers on Linux.
    Shortcut {
        sequences: ["Alt+Left"]
        enabled: window.navigation ? window.navigation.path.length > 0 : false
        onActivated: window.hub.goBack()
    }

    RootView {
        id: root
        anchors.fill: parent
        hub: window.hub
    }

    // The sign-in sheet, over everything while the model asks for it; made when first asked for.
    Loader {
        anchors.fill: parent
        active: window.hub ? window.hub.showSignIn : false
        sourceComponent: SignInSheet { hub: window.hub }
    }

    // Settings: made the first time it is opened, then kept.
    property var settingsWindow: null
    function openSettings() {
        if (!settingsWindow)
            settingsWindow = settingsComponent.createObject(window)
        settingsWindow.show()
        settingsWindow.raise()
        settingsWindow.requestActivate()
    }
    Component {
        id: settingsComponent
        SettingsWindow {
            hub: window.hub
            background: window.backgroundUpdates
            updater: window.updater
            beta: window.beta
        }
    }

    // Made when first asked for.
    Loader {
        id: about
        active: false
        sourceComponent: AboutDialog {
            beta: window.beta
            transientParent: window
        }
    }
}
