import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One free tool or early-access item: what it is, how it installs, and its button.
Rectangle {
    id: itemPage
    property var hub
    property string itemId

    readonly property var item: hub && hub.extrasItemPage
                                ? (hub.extrasLoaded, hub.actionRevision, hub.extrasItemPage(itemId)) : ({})
    readonly property bool exists: !!(item && item.exists)
    color: Theme.window

    EmptyState {
        anchors.centerIn: parent
        width: Math.min(parent.width - 2 * Theme.padding, 460)
        visible: !itemPage.exists
        iconName: "dialog-question"
        title: "Not available"
        message: "That release is no longer listed."
    }

    ScrollPage {
        anchors.fill: parent
        visible: itemPage.exists

        DetailHeader {
            Layout.fillWidth: true
            key: itemPage.itemId
            iconUrl: itemPage.item.iconUrl || ""
            title: itemPage.item.title || ""
            subtitle: itemPage.item.summary || ""
            ExtrasActionButton {
                hub: itemPage.hub
                itemId: itemPage.itemId
                action: itemPage.item.action || ({})
            }
        }
        Text {
            // Many items have no description beyond their summary, already shown above.
            visible: text.length > 0 && text !== itemPage.item.summary
            text: itemPage.item.description || ""
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            lineHeight: 1.3
            color: Theme.text
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }
        InfoBlock {
            Layout.fillWidth: true
            hub: itemPage.hub
            rows: [
                { label: "Kind", value: itemPage.item.kindTitle || "" },
                { label: "Price", value: "Free" },
                { label: "Provider", value: "Ostrel" },
                { label: "Installs", value: itemPage.item.installsLine || "" },
                { label: "Release page", value: itemPage.item.releaseUrl || "", link: itemPage.item.releaseUrl || "" }
            ].filter(row => row.value.length > 0)
        }
    }
}
