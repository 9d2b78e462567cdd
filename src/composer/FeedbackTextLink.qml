// A line of text that acts like a link: drawn in a readable accent, underlined while hovered or
// focused, reached with Tab, activated by a click, Return or Space.
import QtQuick

Text {
    id: link

    signal activated()

    renderType: Text.NativeRendering
    font.underline: hover.hovered || activeFocus
    activeFocusOnTab: true
    Accessible.role: Accessible.Link
    Accessible.name: text
    Accessible.onPressAction: link.activated()
    Keys.onReturnPressed: link.activated()
    Keys.onEnterPressed: link.activated()
    Keys.onSpacePressed: link.activated()

    HoverHandler {
        id: hover
        cursorShape: Qt.PointingHandCursor
    }
    TapHandler {
        onTapped: link.activated()
    }
}
