import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The main window's content: sidebar, toolbar, the detail column (the selected section, the
// page on top of its stack, or the search results), banners over it, and the launch splash.
Rectangle {
    id: root
    property var hub
    color: Theme.window

    readonly property var navigation: hub ? hub.navigation : null
    readonly property var path: navigation ? navigation.path : []
    readonly property string searchText: navigation ? navigation.search : ""
    // The pages a search replaced, given back when the user empties the search field.
    property var pagesBeforeSearch: []

    // The file and properties of what the detail column shows.
    function detail() {
        if (searchText.length > 0)
            return { file: "SearchResultsView.qml", props: {} }
        if (path.length > 0) {
            const page = path[path.length - 1]
            if (page.startsWith("extra:"))
                return { file: "ExtrasItemPage.qml", props: { itemId: page.substring(6) } }
            return { file: "ProductPage.qml", props: { productId: page } }
        }
        return sectionScreen(navigation ? navigation.selection : undefined)
    }

    // The enumerators are lower case, so QML reaches them only through the enumeration's name.
    function sectionScreen(section) {
        switch (section) {
        case HubSection.HubSection.plugIns: return { file: "BrowseView.qml", props: { kind: "plugIns" } }
        case HubSection.HubSection.apps: return { file: "BrowseView.qml", props: { kind: "apps" } }
        case HubSection.HubSection.free: return { file: "FreeView.qml", props: {} }
        case HubSection.HubSection.freeTools: return { file: "ExtrasShelfPage.qml", props: { shelf: "freeTools" } }
        case HubSection.HubSection.earlyAccess: return { file: "ExtrasShelfPage.qml", props: { shelf: "earlyAccess" } }
        case HubSection.HubSection.library: return { file: "LibraryView.qml", props: {} }
        case HubSection.HubSection.updates: return { file: "UpdatesView.qml", props: {} }
        case HubSection.HubSection.downloads: return { file: "DownloadsView.qml", props: {} }
        case HubSection.HubSection.wishlist: return { file: "WishlistView.qml", props: {} }
        case HubSection.HubSection.account: return { file: "AccountView.qml", props: {} }
        default: return { file: "DiscoverView.qml", props: {} }
        }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Sidebar {
            id: sidebar
            hub: root.hub
            // Wider with a larger font, so that titles and badges keep their room.
            Layout.preferredWidth: Math.max(Theme.sidebarWidth, Math.round(Theme.bodySize * 14))
            Layout.fillHeight: true
            onSearchStarting: root.pagesBeforeSearch = root.path.slice()
            onSearchCleared: {
                if (root.pagesBeforeSearch.length > 0 && root.path.length === 0)
                    root.navigation.path = root.pagesBeforeSearch
                root.pagesBeforeSearch = []
            }
        }
        Rectangle {
            Layout.preferredWidth: 1
            Layout.fillHeight: true
            color: Theme.separator
        }
        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            HubToolbar {
                hub: root.hub
                Layout.fillWidth: true
                onCartRequested: cartSheet.open()
            }
            Item {
                id: detailColumn
                Layout.fillWidth: true
                Layout.fillHeight: true
                clip: true

                Loader {
                    id: screen
                    objectName: "detail"
                    anchors.fill: parent
                    focus: true
                    readonly property var target: root.detail()
                    // The bindings above hand out a new object whenever navigation notifies, even
                    // with nothing changed; building the same screen again would cost a whole frame.
                    readonly property string targetKey: JSON.stringify(target)
                    property string loadedKey: ""
                    function show() {
                        if (targetKey === loadedKey)
                            return
                        loadedKey = targetKey
                        setSource(target.file, Object.assign({ hub: root.hub }, target.props))
                    }
                    onTargetKeyChanged: show()
                    Component.onCompleted: show()
                    // Each new screen eases in rather than popping. Not with the software renderer:
                    // there every step of the fade blends and repaints the whole screen, which
                    // costs more than a frame.
                    readonly property bool fades: GraphicsInfo.api !== GraphicsInfo.Software
                    onLoaded: if (fades) appear.restart()
                    NumberAnimation {
                        id: appear
                        target: screen.item
                        property: "opacity"
                        from: 0
                        to: 1
                        duration: 160
                        easing.type: Easing.OutQuad
                    }
                }
                BannerStack {
                    hub: root.hub
                    width: Math.min(implicitWidth, parent.width - 2 * Theme.padding)
                    anchors.top: parent.top
                    anchors.horizontalCenter: parent.horizontalCenter
                    anchors.topMargin: 12
                }
            }
        }
    }

    // The cart, opened from the toolbar, and the checkout, shown while the model holds one. Each
    // sheet is named by file and made the first time it is wanted, so that neither is compiled
    // nor built before the first frame.
    LazyPopup {
        id: cartSheet
        file: "CartSheet.qml"
        properties: ({ hub: root.hub })
    }
    LazyPopup {
        id: checkoutSheet
        readonly property bool wanted: !!root.hub && root.hub.checkout.active
        file: "CheckoutSheet.qml"
        properties: ({ hub: root.hub })
        function follow() {
            if (wanted)
                open()
            else
                close()
        }
        onWantedChanged: follow()
        Component.onCompleted: follow()
    }

    // The splash is made only when the hub starts without a saved store to show, and let go
    // once it has faded out.
    Loader {
        id: splash
        anchors.fill: parent
        active: false
        sourceComponent: LaunchSplash { hub: root.hub }
        Component.onCompleted: active = !(root.hub && root.hub.hasStorefront)
        Connections {
            target: splash.item
            function onVisibleChanged() {
                if (!splash.item.visible)
                    splash.active = false
            }
        }
    }
}
