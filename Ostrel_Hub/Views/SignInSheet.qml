import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// Shows the sign-in sheet over the window while the model asks for it, dimming what is behind.
// Dismissing it (Escape, "Cancel") tells the model.
Item {
    id: host
    property var hub
    readonly property bool shown: hub ? hub.showSignIn : false

    onShownChanged: update()
    Component.onCompleted: update()
    function update() {
        if (shown && !popup.opened)
            popup.open()
        else if (!shown && popup.visible)
            popup.close()
    }

    Basic.Popup {
        id: popup
        objectName: "signInSheet"
        parent: host
        x: Math.round((host.width - width) / 2)
        y: Math.max(20, Math.round((host.height - height) / 2))
        width: Math.min(520, host.width - 40)
        modal: true
        dim: true
        focus: true
        padding: 0
        closePolicy: Basic.Popup.CloseOnEscape
        onClosed: {
            if (host.hub && host.hub.showSignIn)
                host.hub.showSignIn = false
        }
        background: Rectangle {
            color: Theme.window
            radius: 14
            border.width: 1
            border.color: Theme.separator
        }
        contentItem: SignInView {
            hub: host.hub
            color: "transparent"
            focus: true
        }
    }
}
