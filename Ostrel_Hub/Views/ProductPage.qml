import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One product's page: what it is, its button, screenshots, the key facts, what changed in the
// latest release, where it installs and who signed it, and more from the same maker.
Rectangle {
    id: product
    property var hub
    property string productId

    readonly property var page: hub && hub.productPage
                                ? (hub.actionRevision, hub.productPage(productId)) : ({})
    readonly property bool exists: !!(page && page.exists)
    readonly property bool saved: hub && hub.wishlist ? (hub.wishlist.ids, hub.wishlist.contains(productId)) : false
    color: Theme.window

    function fact(field) {
        return page && page[field] ? String(page[field]) : ""
    }

    // Made only for a product the store does not list.
    Loader {
        anchors.centerIn: parent
        width: Math.min(parent.width - 2 * Theme.padding, 460)
        active: !product.exists
        sourceComponent: EmptyState {
            iconName: "dialog-question"
            title: "Not in the store"
            message: "That product is not on sale right now."
        }
    }

    // Copies the share address: the clipboard is reached through a text field's own copy, made
    // only for the moment of copying.
    Component {
        id: clipboardText
        TextEdit { visible: false }
    }

    ScrollPage {
        id: pageColumn
        anchors.fill: parent
        visible: product.exists

        DetailHeader {
            Layout.fillWidth: true
            key: product.productId
            iconUrl: product.fact("iconUrl")
            title: product.fact("name")
            subtitle: product.fact("tagline")

            ActionButton {
                hub: product.hub
                productId: product.productId
            }
            HubButton {
                visible: !!product.page.isPaidNotOwned
                text: "Add to Cart"
                iconName: "cart"
                onClicked: product.hub.addToCart(product.productId)
            }
            HubButton {
                text: product.saved ? "Remove from wishlist" : "Add to wishlist"
                iconName: "emblem-favorite"
                onClicked: product.hub.toggleWishlist(product.productId)
            }
            HubButton {
                text: "Share"
                iconName: "emblem-shared"
                help: product.fact("shareUrl")
                onClicked: {
                    const copier = clipboardText.createObject(product, { text: product.fact("shareUrl") })
                    copier.selectAll()
                    copier.copy()
                    copier.destroy()
                }
            }
        }

        Text {
            visible: text.length > 0
            text: product.fact("description")
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            lineHeight: 1.3
            color: Theme.text
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }

        // The rest of the page is built over the frames after it first shows, a few milliseconds
        // at a time, so that opening a page never holds the window up for long: the pictures
        // and facts first, then what lies below the fold.
        Loader {
            Layout.fillWidth: true
            asynchronous: true
            sourceComponent: ColumnLayout {
                spacing: pageColumn.spacing
                ScreenshotGallery {
                    Layout.fillWidth: true
                    productId: product.productId
                    productName: product.fact("name")
                    shots: product.page && product.page.screenshots ? product.page.screenshots : []
                }

                FactsRow {
                    Layout.fillWidth: true
                    items: [
                        { label: "VERSION", value: product.fact("version") },
                        { label: "SIZE", value: product.fact("size") },
                        { label: "CATEGORY", value: product.fact("category") },
                        { label: "FORMATS", value: product.fact("formats") },
                        { label: "PRICE", value: product.fact("price"), detail: product.fact("wasPrice") }
                    ].filter(fact => fact.value.length > 0)
                }
            }
        }
        Loader {
            Layout.fillWidth: true
            asynchronous: true
            sourceComponent: ColumnLayout {
                spacing: pageColumn.spacing
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 8
                    SectionTitle { text: "What's New" }
                    Text {
                        visible: product.fact("releaseVersion").length > 0
                        text: "Version " + product.fact("releaseVersion")
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.bodySize
                        font.weight: Font.DemiBold
                        color: Theme.secondaryText
                    }
                    Text {
                        text: product.fact("releaseNotes") || "No release notes were published with this version."
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.bodySize
                        lineHeight: 1.3
                        color: Theme.text
                        wrapMode: Text.WordWrap
                        textFormat: Text.PlainText
                        Layout.fillWidth: true
                    }
                    Text {
                        visible: text.length > 0
                        text: product.fact("installedLine")
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.captionSize
                        color: Theme.secondaryText
                        Layout.topMargin: 4
                    }
                }

                InfoBlock {
                    Layout.fillWidth: true
                    hub: product.hub
                    rows: [
                        { label: "Provider", value: "Ostrel" },
                        { label: "Category", value: product.fact("category") },
                        { label: "Compatibility", value: product.page && product.page.compatibility ? product.page.compatibility.join(", ") : "" },
                        { label: "Installs to", value: product.fact("installsTo") },
                        { label: "Licence", value: product.fact("licence") },
                        { label: "Signed by", value: "Ostrel. Checked before install." },
                        { label: "Website", value: product.fact("website"), link: product.fact("website") }
                    ].filter(row => row.value.length > 0)
                }

                // Placed in an item of its own: the page column sees only the section's height, so
                // the section's own layout cannot feed back into the page's.
                Item {
                    Layout.fillWidth: true
                    implicitHeight: reviewsSection.implicitHeight
                    ReviewsSection {
                        id: reviewsSection
                        objectName: "reviewsSection"
                        width: parent.width
                        hub: product.hub
                        productId: product.exists ? product.productId : ""
                        productName: product.fact("name")
                    }
                }

                Shelf {
                    Layout.fillWidth: true
                    Layout.leftMargin: -Theme.padding
                    Layout.rightMargin: -Theme.padding
                    hub: product.hub
                    title: "More from Ostrel"
                    seeAllVisible: false
                    model: product.exists && product.page.moreFromOstrel ? product.page.moreFromOstrel : []
                }
            }
        }
    }
}
