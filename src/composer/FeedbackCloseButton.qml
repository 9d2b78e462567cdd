// The round close button of the composer's screens: a symbol only, its text read by assistive
// technology.
import QtQuick
import QtQuick.Controls.Fusion
import Morvik.Feedback

AbstractButton {
    id: closeButton

    // The focus ring's colour.
    property color accent: "transparent"

    implicitWidth: 24
    implicitHeight: 24
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: text
    contentItem: FeedbackSymbol {
        name: "xmark.circle.fill"
        color: closeButton.pressed ? FeedbackTheme.primary : FeedbackTheme.secondary
    }
    background: Item {
        FeedbackFocusRing {
            visible: closeButton.visualFocus
            cornerRadius: 12
            accent: closeButton.accent
        }
    }
}
