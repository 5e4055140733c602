import QtQuick
import Ostrel.Hub

// A small turning arc that says the hub is busy; fades away when it is not.
Item {
    id: activity
    property bool running: false

    implicitWidth: Math.round(Theme.bodySize * 1.3)
    implicitHeight: implicitWidth
    opacity: running ? 1 : 0
    visible: opacity > 0
    Behavior on opacity { NumberAnimation { duration: 250 } }
    Accessible.role: Accessible.Animation
    Accessible.name: running ? "Loading" : ""

    Canvas {
        id: arc
        anchors.fill: parent
        property color tint: Theme.secondaryText
        onTintChanged: requestPaint()
        onPaint: {
            const context = getContext("2d")
            const line = Math.max(1.5, width / 9)
            context.reset()
            context.lineWidth = line
            context.lineCap = "round"
            context.strokeStyle = Qt.rgba(tint.r, tint.g, tint.b, 0.22)
            context.beginPath()
            context.arc(width / 2, height / 2, width / 2 - line, 0, 2 * Math.PI)
            context.stroke()
            context.strokeStyle = tint
            context.beginPath()
            context.arc(width / 2, height / 2, width / 2 - line, -Math.PI / 2, Math.PI / 3)
            context.stroke()
        }
        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 900
            loops: Animation.Infinite
            running: activity.visible
        }
    }
}
