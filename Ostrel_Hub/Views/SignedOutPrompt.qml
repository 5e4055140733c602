import QtQuick
import Ostrel.Hub

// What a screen of the user's own things says while neither account is connected: why there is
// nothing to show, and the way to sign in.
EmptyState {
    id: prompt
    property var hub
    iconName: "avatar-default"
    actionTitle: "Sign In"
    onAction: prompt.hub.signInFlow.open()
}
