import QtQuick
import Ostrel.Hub

// The sidebar's sections: a first, unlabelled group and "Yours". Account lives in the footer,
// so its row is left out here. The arrow keys move a keyboard cursor through the rows and
// Return or Space selects the row under it.
ListView {
    id: list
    property var hub

    readonly property var navigation: hub ? hub.navigation : null
    readonly property var selection: navigation ? navigation.selection : undefined

    model: hub ? hub.sections : null
    clip: true
    boundsBehavior: Flickable.StopAtBounds
    activeFocusOnTab: true
    keyNavigationEnabled: false
    highlightFollowsCurrentItem: false
    currentIndex: -1
    Accessible.role: Accessible.List
    Accessible.name: "Sections"

    section.property: "group"
    section.delegate: SidebarGroupHeader {
        width: ListView.view.width
    }

    delegate: SidebarRow {
        id: row
        required property int index
        width: ListView.view.width
        selected: list.selection !== undefined && list.selection === row.section
        cursor: list.activeFocus && list.currentIndex === row.index
        onActivated: list.choose(row.index)
    }

    // The rows the sidebar lists, that is all but Account's.
    function listed(index) {
        const row = itemAtIndex(index)
        return row !== null && row.group !== "Account"
    }

    function step(delta) {
        let index = currentIndex < 0 ? indexOfSelection() : currentIndex
        for (let next = index + delta; next >= 0 && next < count; next += delta) {
            if (listed(next)) {
                currentIndex = next
                positionViewAtIndex(next, ListView.Contain)
                return
            }
        }
    }

    function indexOfSelection() {
        for (let index = 0; index < count; ++index) {
            const row = itemAtIndex(index)
            if (row && row.section === selection)
                return index
        }
        return 0
    }

    function choose(index) {
        currentIndex = index
        const row = itemAtIndex(index)
        if (row)
            hub.selectSection(row.section)
    }

    // The keyboard cursor starts on the selected row.
    onActiveFocusChanged: if (activeFocus && (currentIndex < 0 || !listed(currentIndex))) currentIndex = indexOfSelection()

    Keys.onUpPressed: step(-1)
    Keys.onDownPressed: step(1)
    Keys.onReturnPressed: choose(currentIndex)
    Keys.onEnterPressed: choose(currentIndex)
    Keys.onSpacePressed: choose(currentIndex)
}
