import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The install jobs, newest first: each product's stage and progress, and the buttons that
// pause, resume, retry or cancel it; "Clear Finished" takes away the ones that are done.
Rectangle {
    id: view
    property var hub
    color: Theme.window

    readonly property int jobCount: hub ? hub.jobs.count : 0

    NewestFirst {
        id: newest
        sourceModel: view.hub ? view.hub.jobs : null
    }

    ScreenList {
        id: list
        objectName: "jobList"
        anchors.fill: parent
        model: newest

        header: Item {
            width: list.width
            onHeightChanged: Qt.callLater(list.keepTop)
            height: top.implicitHeight + Theme.padding + 12
            RowLayout {
                id: top
                x: Theme.padding
                y: Theme.padding
                width: parent.width - 2 * Theme.padding
                spacing: 12
                ScreenHeader {
                    Layout.fillWidth: true
                    title: "Downloads"
                }
                HubButton {
                    Layout.alignment: Qt.AlignVCenter
                    visible: view.jobCount > 0
                    text: "Clear Finished"
                    onClicked: view.hub.jobs.clearFinished()
                }
            }
        }

        delegate: JobRow {
            width: ListView.view.width
            hub: view.hub
            job: model.job
            productId: model.productId
            productName: model.productName
            version: model.version
            stage: model.stage
            received: model.received
            expected: model.expected
            fraction: model.fraction
            failureReason: model.failureReason
            verifyOnly: model.verifyOnly
            isRunning: model.isRunning
        }
    }

    EmptyState {
        anchors.centerIn: parent
        width: Math.min(parent.width - 2 * Theme.padding, 460)
        visible: view.jobCount === 0
        iconName: "folder-download"
        title: "No downloads"
        message: "Installs, updates and release checks show their progress here."
    }
}
