import QtQuick
import Ostrel.Hub

// A product icon or screenshot, drawn from the image cache as a thumbnail no larger than
// maxPixels. Until the image is there, or when there is none, the placeholder shows: the one
// given, or a rounded card tinted with the icon's colour when the palette knows it. An image
// decoded earlier shows at once; a new one fades in.
Item {
    id: root

    property string url
    property int maxPixels: 256
    property Component placeholder: null
    // The icon palette's colour for this image, when there is one.
    property color tint: Theme.card
    property real radius: Theme.radius
    property int fillMode: Image.PreserveAspectFit
    // Decorative unless named.
    property string accessibleName: ""

    // The provider answers "no image" with an empty image rather than an error, so QML logs
    // nothing for a missing image.
    readonly property bool ready: image.status === Image.Ready && image.implicitWidth > 0
    // The image's loading state, as Image.status.
    readonly property int status: image.status
    readonly property size imageSize: ready ? Qt.size(image.implicitWidth, image.implicitHeight) : Qt.size(0, 0)
    // Asked when the address is set: an image decoded before then shows without fading in.
    readonly property bool remembered: url.length > 0 && CachedImages.remembered(url, maxPixels)

    implicitWidth: maxPixels
    implicitHeight: maxPixels

    Accessible.role: Accessible.Graphic
    Accessible.name: accessibleName
    Accessible.ignored: accessibleName.length === 0

    Loader {
        anchors.fill: parent
        active: !root.ready
        sourceComponent: root.placeholder !== null ? root.placeholder : tinted
    }

    Component {
        id: tinted
        Rectangle {
            radius: root.radius
            color: root.tint
        }
    }

    Image {
        id: image
        anchors.fill: parent
        asynchronous: true
        // The memory table is the cache: QML's own would keep a "no image" answer after the
        // image has arrived.
        cache: false
        fillMode: root.fillMode
        smooth: true
        sourceSize: Qt.size(root.maxPixels, root.maxPixels)
        source: root.url.length > 0 ? "image://cached/" + encodeURIComponent(root.url) : ""
        opacity: 0
        onSourceChanged: {
            fadeIn.stop();
            opacity = 0;
        }
    }

    NumberAnimation {
        id: fadeIn
        target: image
        property: "opacity"
        from: 0
        to: 1
        duration: 200
        easing.type: Easing.OutCubic
    }

    onReadyChanged: {
        if (!ready)
            image.opacity = 0;
        else if (remembered)
            image.opacity = 1;
        else
            fadeIn.start();
    }
}
