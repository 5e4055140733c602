import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// The sidebar's search field: what is typed is the hub's search text; Return opens the first
// match and Escape clears the field.
Basic.TextField {
    id: field
    property var hub
    // The field goes from empty to a search, or the user empties it again.
    signal starting()
    signal cleared()

    readonly property var navigation: hub ? hub.navigation : null

    objectName: "searchField"
    text: navigation ? navigation.search : ""
    placeholderText: "Search"
    placeholderTextColor: Theme.tertiaryText
    color: Theme.text
    selectionColor: Theme.selection
    selectedTextColor: Theme.text
    font.family: Theme.fontFamily
    font.pixelSize: Theme.bodySize
    leftPadding: icon.size + 18
    rightPadding: clearButton.visible ? clearButton.width + 10 : 10
    topPadding: 6
    bottomPadding: 6
    activeFocusOnTab: true
    Accessible.role: Accessible.EditableText
    Accessible.name: "Search"
    Accessible.searchEdit: true

    onTextEdited: write(text)
    Keys.onReturnPressed: hub.openFirstMatch()
    Keys.onEnterPressed: hub.openFirstMatch()
    Keys.onEscapePressed: event => {
        event.accepted = text.length > 0
        write("")
    }

    function write(value) {
        if (!navigation || navigation.search === value)
            return
        const wasEmpty = navigation.search.length === 0
        if (wasEmpty)
            starting()
        navigation.search = value
        if (value.length === 0)
            cleared()
    }

    background: Rectangle {
        implicitHeight: Math.max(30, field.font.pixelSize * 2.3)
        radius: 8
        color: Theme.field
        border.width: 1
        border.color: field.activeFocus ? Theme.focusRing : Theme.separator
    }

    Icon {
        id: icon
        name: "system-search"
        size: Math.round(field.font.pixelSize * 1.15)
        color: Theme.tertiaryText
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.verticalCenter: parent.verticalCenter
    }

    // A small round button that empties the field; hidden while there is nothing to clear.
    Rectangle {
        id: clearButton
        visible: field.text.length > 0
        width: Math.round(field.font.pixelSize * 1.3)
        height: width
        radius: width / 2
        color: clearArea.containsMouse ? Theme.separator : "transparent"
        anchors.right: parent.right
        anchors.rightMargin: 6
        anchors.verticalCenter: parent.verticalCenter

        Icon {
            anchors.centerIn: parent
            name: "edit-clear"
            size: Math.round(parent.width * 0.75)
            color: Theme.secondaryText
        }
        MouseArea {
            id: clearArea
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: field.write("")
        }
    }
}
