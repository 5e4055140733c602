import QtQuick
import QtQuick.Controls.Basic

// A menu whose items are made the first time it opens, so the window's first frame does not
// wait for them. Its actions, and with them their shortcuts, exist from the start. An action
// with `separatorBefore: true` gets a line above it.
Menu {
    id: menu
    property list<Action> actions
    property bool built: false

    onAboutToShow: build()

    function build() {
        if (built)
            return
        built = true
        for (let i = 0; i < actions.length; ++i) {
            if (actions[i].separatorBefore === true)
                addItem(separator.createObject(null))
            addItem(entry.createObject(null, { action: actions[i] }))
        }
    }

    property Component entry: MenuItem {}
    property Component separator: MenuSeparator {}
}
