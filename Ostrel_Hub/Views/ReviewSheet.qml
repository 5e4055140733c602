import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The review editor: the stars, a title, the review and the name shown with it, then
// "Cancel" and "Post" (or "Save" for an edit). The draft is the model's review form, so a
// refused post keeps everything typed. Escape closes the sheet.
Rectangle {
    id: sheet
    property var hub
    property string productId

    readonly property var form: hub && hub.reviews ? hub.reviews.form : null
    readonly property string productName: hub && hub.productPage ? (hub.productPage(productId).name || "") : ""

    color: Theme.window
    radius: 0 // the popup that holds it rounds its corners
    implicitWidth: 520
    implicitHeight: 600

    function close() {
        if (form)
            form.open = false
    }

    FocusScope {
        id: scope
        anchors.fill: parent
        focus: true
        Keys.onEscapePressed: sheet.close()

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: Theme.padding
            spacing: 14

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                Text {
                    Layout.fillWidth: true
                    text: sheet.form && sheet.form.editing ? "Edit Your Review" : "Write a Review"
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.titleSize * 0.85
                    font.weight: Font.Bold
                    color: Theme.text
                    elide: Text.ElideRight
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                Text {
                    Layout.fillWidth: true
                    visible: text.length > 0
                    text: sheet.productName
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.bodySize
                    color: Theme.secondaryText
                    elide: Text.ElideRight
                }
            }

            StarPicker {
                id: picker
                objectName: "starPicker"
                focus: true
                rating: sheet.form ? sheet.form.rating : 0
                label: sheet.form ? sheet.form.ratingLabel : "Choose a rating"
                onPicked: value => { if (sheet.form) sheet.form.rating = value }
            }

            ReviewField {
                Layout.fillWidth: true
                label: "Title"
                placeholder: "Sum it up in a line"
                text: sheet.form ? sheet.form.title : ""
                onEdited: value => { if (sheet.form) sheet.form.title = value }
            }
            ReviewField {
                Layout.fillWidth: true
                Layout.fillHeight: true
                label: "Review"
                multiline: true
                text: sheet.form ? sheet.form.body : ""
                onEdited: value => { if (sheet.form) sheet.form.body = value }
            }
            ReviewField {
                Layout.fillWidth: true
                label: "Name shown with your review"
                placeholder: "Ostrel customer"
                text: sheet.form ? sheet.form.displayName : ""
                onEdited: value => { if (sheet.form) sheet.form.displayName = value }
            }
            Text {
                Layout.fillWidth: true
                text: "Plain text only. Your email address is never shown."
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                color: Theme.tertiaryText
                wrapMode: Text.WordWrap
            }

            RowLayout {
                Layout.fillWidth: true
                visible: failureText.text.length > 0
                spacing: 8
                Icon {
                    name: "dialog-warning"
                    size: Theme.bodySize
                    color: Theme.failure
                    Layout.alignment: Qt.AlignTop
                }
                Text {
                    id: failureText
                    objectName: "reviewFailure"
                    Layout.fillWidth: true
                    text: sheet.form ? sheet.form.failure : ""
                    textFormat: Text.PlainText
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.bodySize
                    color: Theme.failure
                    wrapMode: Text.WordWrap
                    Accessible.role: Accessible.AlertMessage
                    Accessible.name: text
                }
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 10
                Item { Layout.fillWidth: true }
                HubButton {
                    text: "Cancel"
                    activeFocusOnTab: true
                    onClicked: sheet.close()
                }
                HubButton {
                    text: sheet.form && sheet.form.editing ? "Save" : "Post"
                    prominent: true
                    activeFocusOnTab: true
                    enabled: !!sheet.form && !sheet.form.posting
                    onClicked: sheet.form.post()
                }
            }
        }
    }
}
