import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// Where one install job stands, in words, with its icon, and while it downloads a progress bar
// with the bytes received of the total.
ColumnLayout {
    id: stageView
    property var hub
    property int stage: 0
    property real received: 0
    property real expected: 0
    property real fraction: 0
    property string failureReason

    // The job's stages in the order of the job's Stage enumeration.
    readonly property var kinds: ["queued", "resolving", "downloading", "paused", "verifying", "installing",
                                  "installed", "failed"]
    readonly property string kind: kinds[stage] || "queued"
    readonly property var words: ({
        queued: "Waiting",
        resolving: "Requesting a download link",
        downloading: "Downloading",
        paused: "Paused",
        verifying: "Checking signatures",
        installing: "Installing",
        installed: "Done"
    })
    readonly property var icons: ({
        queued: "document-open-recent",
        paused: "media-playback-pause",
        installed: "emblem-ok",
        failed: "dialog-error"
    })
    readonly property string text: kind === "failed" ? failureReason : words[kind]
    readonly property bool busy: kind === "resolving" || kind === "downloading" || kind === "verifying"
                                 || kind === "installing"
    readonly property color tint: kind === "failed" ? Theme.failure
                                : kind === "installed" ? Theme.success
                                : busy ? Theme.accent : Theme.secondaryText

    spacing: 6
    Accessible.role: Accessible.StaticText
    Accessible.name: kind === "downloading" ? text + ", " + bytesLine.text : text

    RowLayout {
        Layout.fillWidth: true
        spacing: 6
        Icon {
            Layout.alignment: Qt.AlignTop
            Layout.topMargin: 1
            visible: name.length > 0
            name: stageView.icons[stageView.kind] || ""
            size: Math.round(Theme.bodySize * 1.15)
            color: stageView.tint
        }
        Text {
            Layout.fillWidth: true
            text: stageView.text
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            font.weight: stageView.busy ? Font.Medium : Font.Normal
            color: stageView.kind === "failed" ? Theme.failure : stageView.busy ? Theme.text : Theme.secondaryText
            wrapMode: Text.WordWrap
        }
        Text {
            id: bytesLine
            visible: stageView.kind === "downloading"
            text: stageView.hub && stageView.expected > 0
                  ? stageView.hub.formatBytes(stageView.received) + " of " + stageView.hub.formatBytes(stageView.expected)
                  : ""
            font.family: Theme.fontFamily
            font.pixelSize: Theme.captionSize
            color: Theme.secondaryText
        }
    }
    // A bar for every stage that is under way: filled by the download, a thin full track while
    // the other stages run.
    Basic.ProgressBar {
        id: bar
        Layout.fillWidth: true
        visible: stageView.busy
        from: 0
        to: 1
        value: stageView.kind === "downloading" ? stageView.fraction : 0
        Accessible.ignored: true
        background: Rectangle {
            implicitHeight: 6
            radius: 3
            color: Theme.separator
        }
        contentItem: Item {
            implicitHeight: 6
            Rectangle {
                width: stageView.kind === "downloading" ? bar.visualPosition * parent.width : parent.width
                height: parent.height
                radius: 3
                color: Theme.accent
                opacity: stageView.kind === "downloading" ? 1 : 0.45
            }
        }
    }
}
