import QtQuick
import Ostrel.Hub

// The heading of a part of a page ("What's New", "More from Ostrel").
Text {
    font.family: Theme.fontFamily
    font.pixelSize: Theme.titleSize * 0.8
    font.weight: Font.Bold
    color: Theme.text
    wrapMode: Text.WordWrap
    Accessible.role: Accessible.Heading
    Accessible.name: text
}
