import QtQuick
import Ostrel.Hub

// A setting switch that always shows `value`, the state its owner holds. Toggling asks the
// owner through `switched(on)`; the switch then follows `value` again, so a change the owner
// refuses (or has not made yet) never stays drawn.
SettingSwitch {
    id: control
    property bool value: false
    signal switched(bool on)

    checked: value
    // A setting that cannot be changed here reads as such.
    opacity: enabled ? 1 : 0.55
    onToggled: {
        const on = checked
        checked = Qt.binding(function() { return control.value })
        switched(on)
    }
}
