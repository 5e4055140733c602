import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Ostrel.Hub

// The About panel: the app's name, the beta's version line and the beta credits.
Window {
    id: about
    property var beta
    title: "About Ostrel Hub"
    width: 420
    height: Math.max(320, content.implicitHeight + 2 * Theme.padding)
    minimumWidth: 360
    flags: Qt.Dialog
    modality: Qt.NonModal
    color: Theme.window

    ColumnLayout {
        id: content
        anchors.fill: parent
        anchors.margins: Theme.padding
        spacing: Theme.spacing

        Rectangle {
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: 64
            implicitHeight: 64
            radius: 16
            color: Theme.accent
            Accessible.ignored: true
            Icon {
                anchors.centerIn: parent
                name: "view-grid"
                size: 34
                color: Theme.accentText
            }
        }
        Text {
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: "Ostrel Hub"
            font.family: Theme.fontFamily
            font.pixelSize: Theme.titleSize
            font.weight: Font.Bold
            color: Theme.text
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: about.beta ? "Version " + about.beta.version : ""
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            color: Theme.text
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Text {
            Layout.fillWidth: true
            Layout.topMargin: Theme.spacing
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: about.beta ? about.beta.credits : ""
            font.family: Theme.fontFamily
            font.pixelSize: Theme.captionSize
            color: Theme.secondaryText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Item {
            Layout.fillHeight: true
        }
        HubButton {
            id: close
            Layout.alignment: Qt.AlignHCenter
            text: "OK"
            prominent: true
            focus: true
            onClicked: about.close()
        }
    }
    Shortcut {
        sequences: [StandardKey.Cancel]
        onActivated: about.close()
    }
}
