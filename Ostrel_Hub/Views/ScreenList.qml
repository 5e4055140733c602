import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// The scrolling list of a screen: rows under a header that scrolls with them. Until the user
// scrolls, the top of the screen stays in view while its header grows (rows arriving in it, a
// callout appearing).
ListView {
    id: list
    property bool scrolled: false

    clip: true
    boundsBehavior: Flickable.StopAtBounds
    Basic.ScrollBar.vertical: Basic.ScrollBar {}
    onMovementStarted: scrolled = true
    footer: Item { width: list.width; height: Theme.padding }

    function keepTop() {
        if (!scrolled)
            positionViewAtBeginning()
    }
}
