import QtQuick

// A popup made the first time it is wanted, so that a screen which may never show it does not
// build it with everything else. The popup sits on the window's overlay; the loader itself stays
// hidden and out of any layout it is placed in.
Loader {
    id: lazy
    visible: false
    active: false

    // The popup as a component (sourceComponent), or named by file with the properties it
    // starts with, so that its file too is compiled only when first wanted.
    property url file
    property var properties: ({})

    // The popup, made now if it was not yet.
    function made() {
        if (!active) {
            active = true
            if (file.toString() !== "")
                setSource(file, properties)
        }
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
