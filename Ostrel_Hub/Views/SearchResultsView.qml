import QtQuick
import QtQuick.Controls.Basic as Basic
import QtQuick.Layouts
import Ostrel.Hub

// What the search text finds: store products, then the free tools and early-access items.
// A result opens its page and ends the search.
Basic.ScrollView {
    id: results
    property var hub

    readonly property var navigation: hub ? hub.navigation : null
    readonly property string query: navigation ? navigation.search : ""
    readonly property bool nothing: storeList.count === 0 && extrasList.count === 0

    contentWidth: availableWidth
    clip: true

    function openProduct(productId) {
        navigation.search = ""
        hub.show(productId)
    }
    function openExtra(itemId) {
        navigation.search = ""
        hub.showExtra(itemId)
    }

    ColumnLayout {
        width: results.availableWidth
        spacing: 0

        ScreenHeader {
            title: "Results for \"" + results.query + "\""
            caption: results.nothing ? "" : "Press Return to open the first match"
            Layout.fillWidth: true
            Layout.margins: Theme.padding
            Layout.bottomMargin: 8
        }

        EmptyState {
            visible: results.nothing
            iconName: "system-search"
            title: "Nothing in the Ostrel store matches that."
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 80
        }

        SearchResultSection {
            title: "Store"
            visible: storeList.count > 0
            Layout.fillWidth: true

            ListView {
                id: storeList
                model: results.hub ? results.hub.searchResults : null
                interactive: false
                spacing: 4
                implicitHeight: contentHeight
                Layout.fillWidth: true
                delegate: SearchResultRow {
                    required property string productId
                    required property string name
                    required property string tagline
                    required property string iconUrl
                    required property bool owned
                    required property bool isFree
                    width: ListView.view.width
                    title: name
                    subtitle: tagline
                    imageUrl: iconUrl
                    tag: owned ? "Owned" : isFree ? "Free" : ""
                    onOpened: results.openProduct(productId)
                }
            }
        }

        SearchResultSection {
            title: "Free Tools and Early Access"
            visible: extrasList.count > 0
            Layout.fillWidth: true

            ListView {
                id: extrasList
                model: results.hub ? results.hub.searchExtrasResults : null
                interactive: false
                spacing: 4
                implicitHeight: contentHeight
                Layout.fillWidth: true
                delegate: SearchResultRow {
                    required property string itemId
                    required title
                    required property string summary
                    required property string kindTitle
                    required property string iconUrl
                    width: ListView.view.width
                    subtitle: summary
                    imageUrl: iconUrl
                    tag: kindTitle
                    onOpened: results.openExtra(itemId)
                }
            }
        }

        Item { Layout.preferredHeight: Theme.padding }
    }
}
