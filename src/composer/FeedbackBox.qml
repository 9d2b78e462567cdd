// A box on the control background with the hairline border: the intent cards' shape, the message
// editor, the snapshot row and the contact field.
import QtQuick

Rectangle {
    radius: 14
    color: FeedbackTheme.controlBackground
    border.color: FeedbackTheme.tint(FeedbackTheme.primary, 0.06)
    border.width: 1
}
