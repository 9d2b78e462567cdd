// A ring that shows which control has the keyboard focus: 3 points outside the control, following
// its corners, in the accent.
import QtQuick

Rectangle {
    // The corner radius of the control it surrounds.
    property real cornerRadius: 8
    property color accent: "transparent"

    anchors.fill: parent
    anchors.margins: -3
    radius: cornerRadius + 3
    color: "transparent"
    border.color: FeedbackTheme.tint(accent, 0.7)
    border.width: 2
}
