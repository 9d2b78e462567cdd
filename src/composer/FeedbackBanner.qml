// The offer banner: a dark capsule with the trigger's symbol and title, the reward line, "Tell us"
// and a close button, floating in a transparent panel that leaves room around it for its shadow.
// Everything it shows and does comes from the view model (FeedbackBannerView).
import QtQuick
import QtQuick.Controls.Fusion
import Qt5Compat.GraphicalEffects
import Morvik.Feedback

Item {
    id: root

    required property FeedbackBannerView view

    // The transparent margins around the capsule (the panel's input shape matches them).
    readonly property int sideMargin: 34
    readonly property int topMargin: 12
    readonly property int capsuleHeight: 54

    implicitWidth: 528
    implicitHeight: 108

    Item {
        id: banner
        objectName: "banner"
        x: root.sideMargin
        width: root.width - 2 * root.sideMargin
        height: root.capsuleHeight
        visible: opacity > 0

        // Comes in sliding down from the top edge while it fades in; goes the same way.
        state: root.view.offering ? "shown" : ""
        opacity: 0
        y: root.topMargin - 14
        states: State {
            name: "shown"
            PropertyChanges {
                target: banner
                opacity: 1
                y: root.topMargin
            }
        }
        transitions: Transition {
            NumberAnimation {
                properties: "opacity,y"
                duration: 320
                easing.type: Easing.OutBack
                easing.overshoot: 0.6
            }
        }

        // The shadow: the capsule's shape blurred, 5 points lower. A glow of a rounded rectangle
        // needs no shader built at run time (a drop shadow's would open an OpenGL context to find
        // its limits, whatever the renderer).
        RectangularGlow {
            x: 0
            y: 5
            width: parent.width
            height: parent.height
            glowRadius: 14
            spread: 0
            cornerRadius: height / 2 + glowRadius
            color: Qt.rgba(0, 0, 0, 0.45)
        }

        Rectangle {
            id: capsule
            anchors.fill: parent
            radius: height / 2
            color: root.view.capsule
        }

        Row {
            id: row
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 14
            anchors.rightMargin: 14
            anchors.verticalCenter: parent.verticalCenter
            spacing: 12

            FeedbackSymbol {
                id: icon
                objectName: "bannerSymbol"
                anchors.verticalCenter: parent.verticalCenter
                width: 20
                height: 20
                name: root.view.symbol
                color: root.view.accent
            }

            Column {
                id: texts
                anchors.verticalCenter: parent.verticalCenter
                spacing: 1
                // What is left after the symbol, the buttons and at least 6 points of space.
                width: Math.max(0, row.width - icon.width - tellUs.width - close.width - 3 * row.spacing - 6)

                Text {
                    objectName: "bannerTitle"
                    width: parent.width
                    text: root.view.title
                    color: "white"
                    font.pixelSize: 13
                    font.weight: Font.DemiBold
                    elide: Text.ElideRight
                    renderType: Text.NativeRendering
                }
                Text {
                    objectName: "bannerSubtitle"
                    width: parent.width
                    text: root.view.subtitle
                    color: root.view.subtitleInk
                    font.pixelSize: 11
                    elide: Text.ElideRight
                    renderType: Text.NativeRendering
                }
            }

            FeedbackButton {
                id: tellUs
                objectName: "tellUsButton"
                anchors.verticalCenter: parent.verticalCenter
                // A click must not move the keyboard focus: the banner never takes it.
                focusPolicy: Qt.NoFocus
                leftPadding: 14
                rightPadding: 14
                topPadding: 7
                bottomPadding: 7
                // A capsule that pales a little while pressed.
                cornerRadius: height / 2
                labelSize: 13
                downDarkening: 1
                downOpacity: 0.8
                fill: root.view.accent
                ink: root.view.accentInk
                text: qsTr("Tell us")
                Accessible.name: qsTr("Share an idea or report a problem")
                onClicked: root.view.tellUs()
            }

            AbstractButton {
                id: close
                objectName: "dismissButton"
                anchors.verticalCenter: parent.verticalCenter
                width: 26
                height: 26
                focusPolicy: Qt.NoFocus
                Accessible.role: Accessible.Button
                Accessible.name: qsTr("Dismiss")
                onClicked: root.view.close()
                contentItem: Item {
                    FeedbackSymbol {
                        anchors.centerIn: parent
                        width: 13
                        height: 13
                        name: "xmark"
                        color: Qt.rgba(1, 1, 1, close.pressed ? 0.9 : 0.62)
                    }
                }
                background: Item {}
            }
        }

        // The outline, over everything.
        Rectangle {
            anchors.fill: parent
            radius: height / 2
            color: "transparent"
            border.color: Qt.rgba(1, 1, 1, 0.14)
            border.width: 1
        }
    }
}
