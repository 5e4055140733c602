import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The cart sheet's content: each line with its price and a way to take it out, the total
// before tax, and "Check Out", which opens the store's payment page for the whole cart.
Rectangle {
    id: cartView
    property var hub
    signal closeRequested()

    readonly property var cart: hub ? hub.cart : null
    readonly property int count: hub ? hub.cartCount : 0
    color: Theme.window
    radius: Theme.radius + 4
    focus: true
    Keys.onEscapePressed: cartView.closeRequested()

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.padding
        spacing: 14

        RowLayout {
            Layout.fillWidth: true
            Icon { name: "cart"; size: Math.round(Theme.titleSize * 1.1); color: Theme.accent }
            Text {
                Layout.fillWidth: true
                text: "Cart"
                font.family: Theme.fontFamily
                font.pixelSize: Theme.titleSize
                font.weight: Font.Bold
                color: Theme.text
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            HubButton {
                iconName: "window-close"
                accessibleName: "Close"
                help: "Close"
                onClicked: cartView.closeRequested()
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: cartView.count === 0
            EmptyState {
                anchors.centerIn: parent
                width: Math.min(parent.width, 380)
                iconName: "cart"
                title: "Your cart is empty."
            }
        }

        ListView {
            id: lines
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: cartView.count > 0
            clip: true
            spacing: 8
            model: cartView.cart
            boundsBehavior: Flickable.StopAtBounds
            delegate: Rectangle {
                id: line
                required property string productId
                required property string name
                required property string iconUrl
                required property string price
                width: ListView.view.width
                height: Math.max(64, row.implicitHeight + 20)
                radius: Theme.radius
                color: Theme.card

                RowLayout {
                    id: row
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 8
                    spacing: 12
                    ProductIcon {
                        key: line.productId
                        iconUrl: line.iconUrl
                        size: 44
                        palette: cartView.hub ? cartView.hub.palette : null
                    }
                    Text {
                        Layout.fillWidth: true
                        text: line.name
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.bodySize
                        font.weight: Font.DemiBold
                        color: Theme.text
                        elide: Text.ElideRight
                    }
                    Text {
                        text: line.price
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.bodySize
                        color: Theme.secondaryText
                    }
                    HubButton {
                        iconName: "list-remove"
                        accessibleName: "Remove " + line.name
                        help: "Remove " + line.name
                        onClicked: cartView.hub.removeFromCart(line.productId)
                    }
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 1
            color: Theme.separator
            visible: cartView.count > 0
        }
        RowLayout {
            Layout.fillWidth: true
            visible: cartView.count > 0
            spacing: 12
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                Text {
                    text: "Total before tax"
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.captionSize
                    color: Theme.secondaryText
                }
                Text {
                    text: cartView.hub ? cartView.hub.cartTotal : ""
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.headlineSize
                    font.weight: Font.Bold
                    color: Theme.text
                }
            }
            HubButton {
                text: "Check Out"
                iconName: "changes-prevent"
                prominent: true
                onClicked: {
                    cartView.hub.checkOutCart()
                    cartView.closeRequested()
                }
            }
        }
    }
}
