// One card of the intent picker: the intent's symbol in a circle above its short label. The selected
// card fills the circle with the accent and outlines itself in it; pressing a card picks its intent.
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Morvik.Feedback

AbstractButton {
    id: card

    required property FeedbackView view
    // The card's intent, as the view's intent property counts them.
    required property int index

    readonly property var info: view.intentCards[index]
    readonly property bool selected: view.intent === index

    implicitHeight: contentItem.implicitHeight + 18
    text: info.shortLabel
    // Reached with Tab; a click picks the intent without taking the focus from where typing goes.
    focusPolicy: Qt.TabFocus
    Accessible.role: Accessible.Button
    Accessible.name: info.label
    Accessible.selectable: true
    Accessible.selected: selected
    // Picked with the pointer (Space on a focused card picks too, and keeps the focus on the cards).
    signal pointerPicked()

    // Set while a key press is what will click the card.
    property bool keyboardClick: false
    Keys.onPressed: (event) => {
        keyboardClick = true
        event.accepted = false
    }
    onClicked: {
        view.intent = index
        if (!keyboardClick)
            pointerPicked()
        keyboardClick = false
    }
    onActiveFocusChanged: keyboardClick = false

    // The circled symbol above the label, centred in the card.
    component Face: Item {
        id: face
        property bool selected
        property string symbol
        property string text
        property color accent
        property color ink

        implicitHeight: faceColumn.implicitHeight
        ColumnLayout {
            id: faceColumn
            anchors.centerIn: parent
            spacing: 7
            Rectangle {
                Layout.alignment: Qt.AlignHCenter
                implicitWidth: 40
                implicitHeight: 40
                radius: 20
                color: face.selected ? face.accent : FeedbackTheme.tint(face.accent, 0.12)
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
                    name: face.symbol
                    color: face.selected ? face.ink : face.accent
                }
            }
            Label {
                renderType: Text.NativeRendering
                Layout.alignment: Qt.AlignHCenter
                text: face.text
                font.pixelSize: FeedbackTheme.smallSize
                font.weight: face.selected ? Font.DemiBold : Font.Normal
                color: face.selected ? FeedbackTheme.primary : FeedbackTheme.secondary
            }
        }
    }

    background: Rectangle {
        radius: 14
        color: FeedbackTheme.controlBackground
        border.color: card.selected ? FeedbackTheme.tint(card.view.accent, 0.7)
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
            accent: card.view.accent
        }
    }
    contentItem: Face {
        selected: card.selected
        symbol: card.info.icon
        text: card.text
        accent: card.view.accent
        ink: card.view.accentInk
    }
}
