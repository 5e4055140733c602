import QtQuick
import Ostrel.Hub

// The cart as a sheet over the window, opened from the toolbar.
SheetFrame {
    id: sheet
    property var hub
    preferredWidth: 560
    preferredHeight: 560
    contentItem: CartView {
        hub: sheet.hub
        onCloseRequested: sheet.close()
    }
}
