// One card of the intent picker: the intent's symbol in a circle above its short label. The selected
// card fills the circle with the accent and outlines itself in it.
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Morvik.Feedback

AbstractButton {
    id: card

    // The intent's full label, read by assistive technology; text is the short label shown.
    property string label
    property string symbol
    property bool selected: false
    property color accent: "transparent"
    property color ink: "white"

    implicitHeight: cardColumn.implicitHeight + 24
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: label
    Accessible.selectable: true
    Accessible.selected: selected

    background: Rectangle {
        radius: 14
        color: FeedbackTheme.controlBackground
        border.color: card.selected ? FeedbackTheme.tint(card.accent, 0.7)
                                    : FeedbackTheme.tint(FeedbackTheme.primary, 0.06)
        border.width: card.selected ? 1.5 : 1
        Behavior on border.color {
            ColorAnimation {
                duration: 300
                easing.type: Easing.OutBack
            }
        }
        FeedbackFocusRing {
            visible: card.visualFocus
            cornerRadius: 14
            accent: card.accent
        }
    }
    contentItem: Item {
        ColumnLayout {
            id: cardColumn
            anchors.centerIn: parent
            spacing: 7
            Rectangle {
                Layout.alignment: Qt.AlignHCenter
                implicitWidth: 40
                implicitHeight: 40
                radius: 20
                color: card.selected ? card.accent : FeedbackTheme.tint(card.accent, 0.12)
                Behavior on color {
                    ColorAnimation {
                        duration: 300
                        easing.type: Easing.OutBack
                    }
                }
                FeedbackSymbol {
                    anchors.centerIn: parent
                    width: 20
                    height: 20
                    name: card.symbol
                    color: card.selected ? card.ink : card.accent
                }
            }
            Label {
                renderType: Text.NativeRendering
                Layout.alignment: Qt.AlignHCenter
                text: card.text
                font.pixelSize: FeedbackTheme.smallSize
                font.weight: card.selected ? Font.DemiBold : Font.Normal
                color: card.selected ? FeedbackTheme.primary : FeedbackTheme.secondary
            }
        }
    }
}
