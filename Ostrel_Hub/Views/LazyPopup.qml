import QtQuick

// A popup made the first time it is wanted, so that a screen which may never show it does not
// build it with everything else. The popup sits on the window's overlay; the loader itself stays
// hidden and out of any layout it is placed in.
Loader {
    id: lazy
    visible: false
    active: false

    // The popup, made now if it was not yet.
    function made() {
        active = true
        return item
    }
    function open() {
        made().open()
    }
    function close() {
        if (item)
            item.close()
    }
}
