import QtQuick
import Ostrel.Hub

// The branded splash over the window at launch: the hub's mark turning calmly above its name.
// It fades away once the first content is ready: a storefront to show, or the first load
// having ended without one. A `phase` between 0 and 1 holds the mark still at that point of
// its turn (for still images); without one it turns live.
Rectangle {
    id: splash
    property var hub
    property real phase: -1

    readonly property bool still: phase >= 0
    // The point of the animation on screen, 0 to 1.
    property real turn: still ? Math.min(phase, 1) : 0
    // Set once the hub has started loading, so that its end can be told from not having begun.
    property bool loadStarted: false
    readonly property bool contentReady: !!hub && (hub.hasStorefront || (loadStarted && !hub.loading))
    // A still image stays; a live splash leaves when there is content.
    readonly property bool leaving: !still && contentReady

    objectName: "launchSplash"
    color: Theme.window
    opacity: leaving ? 0 : 1
    visible: opacity > 0
    Behavior on opacity { NumberAnimation { duration: 420; easing.type: Easing.InOutQuad } }

    Connections {
        target: splash.hub
        function onLoadingChanged() {
            if (splash.hub.loading)
                splash.loadStarted = true
        }
    }
    Component.onCompleted: if (hub && hub.loading) loadStarted = true

    NumberAnimation on turn {
        from: 0
        to: 1
        duration: 2600
        loops: Animation.Infinite
        running: !splash.still && splash.visible
    }

    // Nothing under the splash takes a click or a key while it is up.
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons
        onWheel: wheel => wheel.accepted = true
    }

    Column {
        anchors.centerIn: parent
        anchors.verticalCenterOffset: -20
        spacing: 28

        SplashMark {
            turn: splash.turn
            anchors.horizontalCenter: parent.horizontalCenter
        }
        Text {
            text: "Ostrel Hub"
            font.family: Theme.fontFamily
            font.pixelSize: Theme.largeTitleSize
            font.weight: Font.Bold
            font.letterSpacing: -0.5
            color: Theme.text
            anchors.horizontalCenter: parent.horizontalCenter
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
    }
}
