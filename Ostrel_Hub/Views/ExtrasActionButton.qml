import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// A free tool's or early-access item's button: install through the hub, "View" the release
// page, "GitHub", or "Soon" for an item not released yet, with its line of explanation.
ColumnLayout {
    id: extrasAction
    property var hub
    property string itemId
    // { kind: "hub" | "view" | "github" | "soon", title, detail }
    property var action: ({})

    readonly property string kind: action && action.kind ? action.kind : ""
    spacing: 6
    visible: kind.length > 0

    HubButton {
        text: extrasAction.action && extrasAction.action.title ? extrasAction.action.title : ""
        prominent: extrasAction.kind !== "soon"
        enabled: extrasAction.kind !== "soon"
        iconName: extrasAction.kind === "view" || extrasAction.kind === "github" ? "web-browser" : ""
        help: extrasAction.action && extrasAction.action.detail ? extrasAction.action.detail : ""
        onClicked: if (extrasAction.hub) extrasAction.hub.performExtrasAction(extrasAction.itemId)
    }
    Text {
        visible: text.length > 0
        text: extrasAction.action && extrasAction.action.detail ? extrasAction.action.detail : ""
        font.family: Theme.fontFamily
        font.pixelSize: Theme.captionSize
        color: Theme.secondaryText
        wrapMode: Text.WordWrap
        Layout.maximumWidth: 260
    }
}
