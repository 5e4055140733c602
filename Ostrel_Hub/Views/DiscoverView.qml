import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// The store's front page: the featured products, then a shelf per part of the catalogue. While
// the first storefront loads it shows the store's outline; when the store could not be reached
// and nothing was saved, a way to try again.
Rectangle {
    id: discover
    property var hub
    color: Theme.window

    readonly property bool hasStore: hub ? hub.hasStorefront : false
    readonly property bool firstLoad: !hasStore && (!hub || hub.loading)

    Loader {
        anchors.fill: parent
        active: discover.firstLoad
        sourceComponent: StoreSkeleton {}
    }
    Loader {
        anchors.fill: parent
        active: !discover.hasStore && !discover.firstLoad
        sourceComponent: StoreLoading { hub: discover.hub }
    }

    ScrollPage {
        id: page
        anchors.fill: parent
        visible: discover.hasStore
        sideMargin: 0
        maxColumnWidth: width
        spacing: 36

        ScreenHeader {
            Layout.fillWidth: true
            Layout.leftMargin: Theme.padding
            Layout.rightMargin: Theme.padding
            Layout.bottomMargin: -20
            title: "Discover"
        }
        HeroCarousel {
            Layout.fillWidth: true
            hub: discover.hub
            model: discover.hub ? discover.hub.featured : null
        }
        Shelf {
            Layout.fillWidth: true
            hub: discover.hub
            title: "Not in your library yet"
            model: discover.hub ? discover.hub.notOwned : null
            onSeeAll: discover.open(HubSection.HubSection.plugIns)
        }
        // At and below the fold: built after the first frame, a little at a time, so the
        // window shows sooner and scrolling never waits for them.
        Loader {
            Layout.fillWidth: true
            asynchronous: true
            sourceComponent: ColumnLayout {
                spacing: page.spacing
                Shelf {
                    Layout.fillWidth: true
                    hub: discover.hub
                    title: "Plug-ins"
                    caption: "Effects and instruments for your DAW"
                    model: discover.hub ? discover.hub.plugIns : null
                    onSeeAll: discover.open(HubSection.HubSection.plugIns)
                }
                Shelf {
                    Layout.fillWidth: true
                    hub: discover.hub
                    title: "Apps"
                    caption: "Small Mac tools that do one thing well"
                    model: discover.hub ? discover.hub.apps : null
                    onSeeAll: discover.open(HubSection.HubSection.apps)
                }
                Shelf {
                    Layout.fillWidth: true
                    hub: discover.hub
                    title: "Free Tools"
                    caption: "Open source utilities from Ostrel, released on GitHub"
                    extras: true
                    model: discover.hub ? discover.hub.freeTools : null
                    onSeeAll: discover.open(HubSection.HubSection.freeTools)
                }
                Shelf {
                    Layout.fillWidth: true
                    hub: discover.hub
                    title: "Early Access"
                    caption: "Games and tools still being built. Expect rough edges."
                    extras: true
                    model: discover.hub ? discover.hub.earlyAccess : null
                    onSeeAll: discover.open(HubSection.HubSection.earlyAccess)
                }
            }
        }
    }

    function open(section) {
        if (hub)
            hub.selectSection(section)
    }
}
