import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Ostrel.Hub

// "Ratings and Reviews" of a product page: the average and the star bars, the user's own
// review (with the moderation notice while it waits), everyone else's reviews page by page,
// and the way in to writing one. The review sheet opens over the window.
ColumnLayout {
    id: section
    property var hub
    property string productId
    property string productName

    readonly property var reviews: hub && hub.reviews ? hub.reviews : null
    readonly property var list: reviews && productId.length > 0 ? reviews.list(productId) : null
    readonly property bool signedIn: !!hub && hub.ostrelSignedIn
    readonly property bool hasRatings: !!list && list.ratingCount > 0

    spacing: 16

    // Opening the page loads its reviews (the model does that on navigation); a sign-in on the
    // page brings the user's own review.
    onSignedInChanged: if (signedIn && list && list.loaded) reviews.load(productId)

    RowLayout {
        Layout.fillWidth: true
        spacing: 12
        SectionTitle {
            text: "Ratings and Reviews"
            Layout.fillWidth: true
        }
        HubButton {
            visible: section.signedIn
            text: section.list && section.list.hasOwnReview ? "Edit Your Review" : "Write a Review"
            iconName: "document-edit"
            onClicked: section.reviews.write(section.productId)
        }
        HubButton {
            visible: !section.signedIn
            text: "Sign In to Review"
            iconName: "avatar-default"
            onClicked: section.hub.showSignIn = true
        }
    }

    // The average beside the share of each star count.
    RowLayout {
        Layout.fillWidth: true
        visible: section.hasRatings
        spacing: 32
        ColumnLayout {
            spacing: 2
            Layout.alignment: Qt.AlignTop
            Text {
                text: section.list ? section.list.averageText : ""
                font.family: Theme.fontFamily
                font.pixelSize: Theme.largeTitleSize * 1.4
                font.weight: Font.Bold
                color: Theme.text
                Layout.alignment: Qt.AlignHCenter
            }
            Text {
                text: "out of 5"
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                font.weight: Font.Medium
                color: Theme.secondaryText
                Layout.alignment: Qt.AlignHCenter
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            Layout.maximumWidth: 420
            Layout.alignment: Qt.AlignVCenter
            spacing: 4
            Repeater {
                model: section.list ? section.list.shares : []
                RowLayout {
                    required property int index
                    required property var modelData
                    Layout.fillWidth: true
                    spacing: 8
                    Stars {
                        value: 5 - index
                        size: Math.round(Theme.captionSize * 0.9)
                        color: Theme.secondaryText
                        Layout.preferredWidth: implicitWidth
                    }
                    Rectangle {
                        Layout.fillWidth: true
                        height: 4
                        radius: 2
                        color: Theme.separator
                        Rectangle {
                            width: parent.width * Math.max(0, Math.min(1, Number(modelData)))
                            height: parent.height
                            radius: parent.radius
                            color: Theme.secondaryText
                        }
                    }
                }
            }
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 4
                Stars {
                    value: section.list ? section.list.average : 0
                    size: Math.round(Theme.bodySize * 1.1)
                }
                Item { Layout.fillWidth: true }
                Text {
                    text: section.list ? section.list.ratingCountText : ""
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.captionSize
                    color: Theme.secondaryText
                }
            }
        }
    }

    // Signed out: who can write a review, and how.
    Rectangle {
        Layout.fillWidth: true
        visible: !section.signedIn
        implicitHeight: callout.implicitHeight + 32
        radius: Theme.radius
        color: Theme.card
        RowLayout {
            id: callout
            anchors.fill: parent
            anchors.margins: 16
            spacing: 14
            Icon {
                name: "avatar-default"
                size: Math.round(Theme.titleSize * 1.2)
                color: Theme.secondaryText
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                Text {
                    Layout.fillWidth: true
                    text: "Reviews are written with a Ostrel ID"
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.bodySize
                    font.weight: Font.DemiBold
                    color: Theme.text
                    wrapMode: Text.WordWrap
                }
                Text {
                    Layout.fillWidth: true
                    text: "Open to people who own or have tried it"
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.captionSize
                    color: Theme.secondaryText
                    wrapMode: Text.WordWrap
                }
            }
            HubButton {
                text: "Sign in with Ostrel ID to Review"
                onClicked: section.hub.showSignIn = true
            }
        }
    }

    // The user's own review, apart from everyone else's.
    ColumnLayout {
        Layout.fillWidth: true
        visible: !!section.list && section.list.hasOwnReview
        spacing: 8
        Text {
            text: "Your Review"
            font.family: Theme.fontFamily
            font.pixelSize: Theme.captionSize
            font.weight: Font.DemiBold
            color: Theme.secondaryText
        }
        RowLayout {
            Layout.fillWidth: true
            visible: !!section.list && section.list.ownPending
            spacing: 8
            Icon {
                name: "dialog-information"
                size: Theme.bodySize
                color: Theme.warning
            }
            Text {
                Layout.fillWidth: true
                text: "Your review is waiting for a moderator before it appears."
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.text
                wrapMode: Text.WordWrap
            }
        }
        ReviewCard {
            Layout.fillWidth: true
            readonly property var own: section.list ? section.list.ownReview : ({})
            title: own.title || ""
            rating: own.rating || 0
            body: own.body || ""
            author: own.author || ""
            dateText: own.dateText || ""
            edited: !!own.edited
            verifiedPurchase: !!own.verifiedPurchase
            border.width: 1
            border.color: Theme.accent
        }
    }

    Text {
        Layout.fillWidth: true
        visible: !!section.list && section.list.unavailable && section.list.count === 0
        text: "Reviews could not be loaded right now."
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        color: Theme.secondaryText
        wrapMode: Text.WordWrap
    }
    Text {
        Layout.fillWidth: true
        visible: !!section.list && section.list.loaded && section.list.count === 0 && !section.list.hasOwnReview
                 && !section.list.unavailable
        text: "No reviews yet. If you own or have tried " + section.productName + ", yours can be the first."
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        color: Theme.secondaryText
        wrapMode: Text.WordWrap
    }

    GridLayout {
        id: cards
        objectName: "reviewCards"
        Layout.fillWidth: true
        Layout.fillHeight: false
        visible: !!section.list && section.list.count > 0
        // Sized from the section, which the page gives its width; sizing from the grid's own
        // width feeds the layout back into itself.
        columns: section.width >= 760 ? 2 : 1
        columnSpacing: 16
        rowSpacing: 16
        Repeater {
            model: section.list
            ReviewCard {
                required property var model
                title: model.title
                rating: model.rating
                body: model.body
                author: model.author
                dateText: model.dateText
                edited: model.edited
                verifiedPurchase: model.verifiedPurchase
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredWidth: (section.width - (cards.columns - 1) * cards.columnSpacing) / cards.columns
            }
        }
    }

    HubButton {
        visible: !!section.list && section.list.hasMore
        enabled: !!section.list && !section.list.loading
        text: "More Reviews"
        Layout.alignment: Qt.AlignHCenter
        onClicked: section.reviews.loadMore(section.productId)
    }

    // Room the section is given beyond what it needs stays below it.
    Item {
        Layout.fillHeight: true
    }

    // The review sheet, over the window while the form is open for this product; made the first
    // time the form opens, not with every product page.
    LazyPopup {
        id: sheet
        sourceComponent: Popup {
            id: sheetPopup
            parent: T.Overlay.overlay
            x: parent ? Math.round((parent.width - width) / 2) : 0
            y: parent ? Math.round((parent.height - height) / 2) : 0
            width: 520
            height: Math.min(600, parent ? parent.height - 40 : 600)
            modal: true
            focus: true
            padding: 0
            closePolicy: Popup.CloseOnEscape
            background: Rectangle {
                color: Theme.window
                radius: Theme.radius
                border.width: 1
                border.color: Theme.separator
            }
            T.Overlay.modal: Rectangle { color: Theme.dark ? "#99000000" : "#55000000" }
            contentItem: Loader {
                active: sheetPopup.opened || sheetPopup.visible
                focus: true
                sourceComponent: ReviewSheet {
                    radius: Theme.radius
                    hub: section.hub
                    productId: section.productId
                }
            }
            onClosed: if (section.reviews && section.reviews.form.open) section.reviews.form.open = false
        }
    }
    Connections {
        target: section.reviews ? section.reviews.form : null
        function onOpenChanged() {
            const form = section.reviews.form
            if (form.open && form.productId === section.productId)
                sheet.open()
            else
                sheet.close()
        }
    }
}
