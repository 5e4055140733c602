import QtQuick
import Ostrel.Hub

// A product's one button. Its title follows the product's state ("Get", the price, "Install",
// "Update", "Resume", "Open", "Installed", "Owned"); while a job runs it becomes the progress pill.
Item {
    id: action
    property var hub
    property string productId
    // Inside a tile in a grid the tile takes the keyboard; the button then is for the pointer.
    property bool takesFocus: true

    readonly property var info: hub && productId.length > 0 && hub.actionState
                                ? (hub.actionRevision, hub.actionState(productId)) : ({})
    readonly property string kind: info && info.kind ? info.kind : "none"
    readonly property bool running: kind === "progress"

    implicitWidth: running ? pill.implicitWidth : (kind === "none" ? 0 : button.implicitWidth)
    implicitHeight: running ? pill.implicitHeight : button.implicitHeight

    HubButton {
        id: button
        visible: !action.running && action.kind !== "none"
        text: action.info && action.info.title ? action.info.title : ""
        prominent: action.kind === "get" || action.kind === "buy" || action.kind === "install"
                   || action.kind === "update" || action.kind === "resume"
        enabled: action.kind !== "installed" && action.kind !== "owned"
        focusPolicy: action.takesFocus ? Qt.StrongFocus : Qt.NoFocus
        onClicked: action.hub.performAction(action.productId)
    }
    // Made only while a job runs: a shelf has many buttons and few are running.
    Loader {
        id: pill
        active: action.running
        sourceComponent: ProgressPill {
            hub: action ? action.hub : null
            job: action && action.info && action.info.job ? action.info.job : null
        }
    }
}
