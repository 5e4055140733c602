import QtQuick
import Ostrel.Hub

// A round avatar: the initials of a name on the accent colour, or the generic person icon.
Rectangle {
    id: avatar
    property string name
    readonly property string initials: {
        const words = name.trim().split(/\s+/).filter(word => word.length > 0)
        if (words.length === 0)
            return ""
        const first = words[0].charAt(0)
        return (words.length > 1 ? first + words[words.length - 1].charAt(0) : first).toUpperCase()
    }

    implicitWidth: Math.round(Theme.bodySize * 2.6)
    implicitHeight: implicitWidth
    width: implicitWidth
    height: implicitHeight
    radius: width / 2
    color: initials.length > 0 ? Theme.accent : Theme.card
    border.width: initials.length > 0 ? 0 : 1
    border.color: Theme.separator
    Accessible.ignored: true

    Text {
        anchors.centerIn: parent
        visible: avatar.initials.length > 0
        text: avatar.initials
        font.family: Theme.fontFamily
        font.pixelSize: Math.round(avatar.width * 0.38)
        font.weight: Font.DemiBold
        color: Theme.accentText
    }
    Icon {
        anchors.centerIn: parent
        visible: avatar.initials.length === 0
        name: "avatar-default"
        size: Math.round(avatar.width * 0.6)
        color: Theme.secondaryText
    }
}
