import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One install, update or release check in Downloads: the product, its stage, and the buttons
// its stage allows.
ListRow {
    id: row
    property var hub
    property var job
    property string productId
    property string productName
    property string version
    property int stage
    property real received
    property real expected
    property real fraction
    property string failureReason
    property bool verifyOnly
    property bool isRunning

    readonly property string kind: stageView.kind
    readonly property string iconUrl: hub ? (hub.productPage(productId).iconUrl || "") : ""

    implicitHeight: layout.implicitHeight + 2 * 14

    RowLayout {
        id: layout
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.leftMargin: Theme.padding
        anchors.rightMargin: Theme.padding
        spacing: 14

        RowIcon {
            Layout.alignment: Qt.AlignTop
            url: row.iconUrl
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 6
            RowLayout {
                Layout.fillWidth: true
                spacing: 8
                Text {
                    Layout.fillWidth: false
                    Layout.maximumWidth: implicitWidth
                    Layout.preferredWidth: implicitWidth
                    Layout.minimumWidth: 40
                    text: row.productName
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.headlineSize
                    font.weight: Font.DemiBold
                    color: Theme.text
                    elide: Text.ElideRight
                }
                Text {
                    visible: row.version.length > 0 && row.version !== "0"
                    text: row.version
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.bodySize
                    color: Theme.tertiaryText
                }
                Rectangle {
                    visible: row.verifyOnly
                    implicitWidth: tag.implicitWidth + 14
                    implicitHeight: tag.implicitHeight + 4
                    radius: height / 2
                    color: "transparent"
                    border.width: 1
                    border.color: Theme.secondaryText
                    Text {
                        id: tag
                        anchors.centerIn: parent
                        text: "Check only"
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.captionSize
                        font.weight: Font.Medium
                        color: Theme.secondaryText
                    }
                }
                Item { Layout.fillWidth: true }
            }
            StageView {
                id: stageView
                Layout.fillWidth: true
                Layout.maximumWidth: 560
                hub: row.hub
                stage: row.stage
                received: row.received
                expected: row.expected
                fraction: row.fraction
                failureReason: row.failureReason
            }
        }
        Row {
            Layout.alignment: Qt.AlignVCenter
            spacing: 8
            HubButton {
                // A download can be paused until its checks start.
                visible: row.isRunning && (row.kind === "queued" || row.kind === "resolving" || row.kind === "downloading")
                text: "Pause"
                iconName: "media-playback-pause"
                onClicked: row.hub.jobs.pause(row.job)
            }
            HubButton {
                visible: row.kind === "paused"
                text: "Resume"
                iconName: "media-playback-start"
                prominent: true
                onClicked: row.hub.jobs.resume(row.job)
            }
            HubButton {
                visible: row.kind === "failed"
                text: "Retry"
                iconName: "view-refresh"
                prominent: true
                onClicked: row.hub.jobs.retry(row.job)
            }
            HubButton {
                visible: row.kind !== "installed"
                text: "Cancel"
                onClicked: row.hub.jobs.cancel(row.job)
            }
        }
    }
}
