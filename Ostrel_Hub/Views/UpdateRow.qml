import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One installed product with a newer release: from which version to which, the release notes
// folded to a few lines, and its action button.
ListRow {
    id: row
    property var hub
    property string productId
    property string name
    property string iconUrl
    property bool expanded: false

    readonly property string versions: hub ? (hub.actionRevision, hub.updateLine(productId)) : ""
    readonly property string notes: hub ? (hub.actionRevision, hub.releaseNotes(productId)) : ""

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
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.name
                font.family: Theme.fontFamily
                font.pixelSize: Theme.headlineSize
                font.weight: Font.DemiBold
                color: Theme.text
                elide: Text.ElideRight
            }
            Text {
                Layout.fillWidth: true
                text: row.versions
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.secondaryText
                elide: Text.ElideRight
            }
            Text {
                id: notesText
                Layout.fillWidth: true
                Layout.topMargin: 4
                visible: row.notes.length > 0
                text: row.notes
                textFormat: Text.PlainText
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.text
                wrapMode: Text.Wrap
                maximumLineCount: row.expanded ? 1000 : 3
                elide: Text.ElideRight
                lineHeight: 1.1
            }
            LinkButton {
                visible: row.notes.length > 0 && (row.expanded || notesText.truncated)
                text: row.expanded ? "Less" : "More"
                help: row.expanded ? "Fold the release notes of " + row.name
                                   : "Show all the release notes of " + row.name
                onClicked: row.expanded = !row.expanded
            }
        }
        ActionButton {
            Layout.alignment: Qt.AlignTop
            hub: row.hub
            productId: row.productId
        }
    }
}
