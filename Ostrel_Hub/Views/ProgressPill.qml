import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The compact progress of a running job: its stage, the download's share as a fill, and Pause.
Rectangle {
    id: pill
    property var hub
    property var job

    // InstallJob's stages in their declared order: queued, resolving, downloading, paused,
    // verifying, installing.
    readonly property int stage: job ? job.stage : 0
    readonly property string title: stage === 2 ? "Downloading"
                                  : stage === 4 ? "Checking signatures"
                                  : stage === 5 ? "Installing" : "Starting"
    readonly property real fraction: job && stage === 2 ? Math.max(0, Math.min(1, job.fraction)) : 0

    implicitHeight: Math.max(28, Math.round(Theme.bodySize * 2.1))
    implicitWidth: row.implicitWidth + 18
    radius: height / 2
    color: Theme.card
    border.width: 1
    border.color: Theme.separator
    clip: true

    Rectangle {
        width: pill.width * pill.fraction
        height: pill.height
        color: Theme.selection
        Behavior on width { NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }
    }

    RowLayout {
        id: row
        anchors.verticalCenter: parent.verticalCenter
        anchors.left: parent.left
        anchors.leftMargin: 12
        spacing: 6
        Rectangle {
            width: 7
            height: 7
            radius: 3.5
            color: Theme.accent
            SequentialAnimation on opacity {
                loops: Animation.Infinite
                running: pill.visible
                NumberAnimation { to: 0.3; duration: 700; easing.type: Easing.InOutQuad }
                NumberAnimation { to: 1; duration: 700; easing.type: Easing.InOutQuad }
            }
        }
        Text {
            text: pill.title
            font.family: Theme.fontFamily
            font.pixelSize: Theme.captionSize
            font.weight: Font.Medium
            color: Theme.text
            elide: Text.ElideRight
            Layout.maximumWidth: 150
            Accessible.role: Accessible.ProgressBar
            Accessible.name: text
        }
        HubButton {
            visible: pill.job !== null && pill.job !== undefined && pill.stage <= 2
            iconName: "media-playback-pause"
            accessibleName: "Pause"
            help: "Pause"
            padding: 2
            leftPadding: 4
            rightPadding: 4
            background: Item {}
            onClicked: pill.hub.jobs.pause(pill.job)
        }
    }
}
