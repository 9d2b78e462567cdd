// A button filled with the accent, its label in the accent's ink: Send and Done across the composer,
// "Tell us" on the offer banner. While busy a spinner stands before the label and the button keeps
// its full colour even when disabled.
import QtQuick
import QtQuick.Controls.Fusion
import Morvik.Feedback

AbstractButton {
    id: button

    property color fill: "transparent"
    property color ink: "white"
    // How the button looks disabled (not while busy): by default the fill faded over what is beneath.
    property color disabledFill: "transparent"
    property color disabledInk: ink
    readonly property bool looksDisabled: !enabled && !busy
    readonly property bool customDisabled: disabledFill.a > 0
    property bool busy: false
    property real cornerRadius: 8
    property int labelSize: FeedbackTheme.bodySize + 1
    // How a press shows: the fill darkened by this factor, the whole button at this opacity.
    property real downDarkening: 1.12
    property real downOpacity: 1

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)
    topPadding: 4
    bottomPadding: 4
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: text
    // Return presses the button as Space does.
    Keys.onReturnPressed: if (enabled) clicked()
    Keys.onEnterPressed: if (enabled) clicked()

    // The label with the spinner before it, centred in the space the button gives it.
    component Face: Item {
        id: face
        property bool busy
        property string text
        property color ink
        property int labelSize

        implicitWidth: faceRow.implicitWidth
        implicitHeight: faceRow.implicitHeight
        Row {
            id: faceRow
            anchors.centerIn: parent
            spacing: 7
            FeedbackSymbol {
                id: spinner
                visible: face.busy
                width: 14
                height: 14
                anchors.verticalCenter: parent.verticalCenter
                name: "progress.arc"
                color: face.ink
                RotationAnimator on rotation {
                    running: spinner.visible
                    from: 0
                    to: 360
                    duration: 900
                    loops: Animation.Infinite
                }
            }
            Label {
                renderType: Text.NativeRendering
                anchors.verticalCenter: parent.verticalCenter
                text: face.text
                color: face.ink
                font.pixelSize: face.labelSize
                font.weight: Font.DemiBold
            }
        }
    }

    contentItem: Face {
        busy: button.busy
        text: button.text
        ink: button.looksDisabled ? button.disabledInk : button.ink
        labelSize: button.labelSize
    }
    background: Rectangle {
        radius: button.cornerRadius
        color: button.looksDisabled && button.customDisabled ? button.disabledFill
             : button.down ? Qt.darker(button.fill, button.downDarkening) : button.fill
        opacity: (button.looksDisabled && !button.customDisabled ? 0.45 : 1) * (button.down ? button.downOpacity : 1)
        FeedbackFocusRing {
            visible: button.visualFocus
            cornerRadius: button.cornerRadius
            accent: button.fill
        }
    }
}
