import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The left column: the search field, the sections in two groups with their badges, and the
// account at the foot.
Rectangle {
    id: sidebar
    property var hub
    // Leaving a search from the field itself returns to the page the search replaced.
    signal searchStarting()
    signal searchCleared()

    readonly property var navigation: hub ? hub.navigation : null
    color: Theme.sidebar

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        SidebarSearchField {
            id: searchField
            hub: sidebar.hub
            Layout.fillWidth: true
            Layout.margins: 12
            Layout.bottomMargin: 8
            onStarting: sidebar.searchStarting()
            onCleared: sidebar.searchCleared()
            Keys.onDownPressed: sections.forceActiveFocus()
        }

        SidebarSectionList {
            id: sections
            hub: sidebar.hub
            Layout.fillWidth: true
            Layout.fillHeight: true
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 1
            color: Theme.separator
        }
        AccountFooter {
            hub: sidebar.hub
            Layout.fillWidth: true
            Layout.margins: 8
        }
    }
}
