// The composer's success screen: the seal, the thanks, the reference code to copy, what happens next,
// the note about a snapshot that did not upload, and Done. It fades in when the report is accepted.
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Morvik.Feedback

Item {
    id: screen

    required property FeedbackView view

    opacity: screen.view.showsSuccess ? 1 : 0
    visible: opacity > 0
    Behavior on opacity { NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }

    // The first time the screen shows: the seal grows into view and Done takes the focus.
    onVisibleChanged: if (visible) {
        screen.view.sealShown = true
        doneButton.forceActiveFocus(Qt.OtherFocusReason)
    }

    FeedbackCloseButton {
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.rightMargin: 20
        anchors.topMargin: 18
        text: screen.view.closeLabel
        accent: screen.view.accent
        onClicked: screen.view.close()
    }

    ColumnLayout {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.verticalCenterOffset: -20
        spacing: 18

        Item {
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: 96
            implicitHeight: 96
            scale: screen.view.sealShown ? 1 : 0.4
            opacity: screen.view.sealShown ? 1 : 0
            Behavior on scale { SpringAnimation { spring: 4.5; damping: 0.28; epsilon: 0.002 } }
            Behavior on opacity { NumberAnimation { duration: 300; easing.type: Easing.OutCubic } }
            Rectangle {
                anchors.fill: parent
                radius: 48
                color: FeedbackTheme.tint(screen.view.accent, 0.12)
            }
            FeedbackSymbol {
                anchors.centerIn: parent
                width: 50
                height: 50
                name: "checkmark.seal.fill"
                color: screen.view.accent
            }
        }

        ColumnLayout {
            Layout.alignment: Qt.AlignHCenter
            spacing: 6
            Label {
                renderType: Text.NativeRendering
                Layout.alignment: Qt.AlignHCenter
                text: screen.view.successTitle
                color: FeedbackTheme.primary
                font.pixelSize: FeedbackTheme.largeSize + 5
                font.weight: Font.Bold
            }
            Label {
                renderType: Text.NativeRendering
                Layout.alignment: Qt.AlignHCenter
                Layout.maximumWidth: screen.width - 40
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                text: screen.view.successSubtitle
                textFormat: Text.PlainText
                color: FeedbackTheme.secondary
                font.pixelSize: FeedbackTheme.bodySize
            }
        }

        AbstractButton {
            id: codePill
            objectName: "codePill"
            Layout.alignment: Qt.AlignHCenter
            // The service decides the code's length: a long one wraps inside the window.
            Layout.maximumWidth: screen.width - 40
            leftPadding: 18
            rightPadding: 18
            topPadding: 10
            bottomPadding: 10
            focusPolicy: Qt.StrongFocus
            Accessible.role: Accessible.Button
            Accessible.name: screen.view.codeAccessibleName
            onClicked: screen.view.copyCode(screen.view.code)
            contentItem: RowLayout {
                spacing: 8
                Label {
                    objectName: "codeLabel"
                    renderType: Text.NativeRendering
                    Layout.maximumWidth: screen.width - 40 - codePill.leftPadding - codePill.rightPadding - 24
                    wrapMode: Text.WrapAnywhere
                    horizontalAlignment: Text.AlignHCenter
                    text: screen.view.code
                    textFormat: Text.PlainText
                    color: FeedbackTheme.primary
                    font.family: "monospace"
                    font.pixelSize: 20
                    font.weight: Font.Bold
                }
                FeedbackSymbol {
                    Layout.alignment: Qt.AlignVCenter
                    implicitWidth: 16
                    implicitHeight: 16
                    name: screen.view.codeSymbol
                    color: screen.view.copiedCode ? screen.view.accent : FeedbackTheme.secondary
                }
            }
            background: Rectangle {
                radius: height / 2
                color: FeedbackTheme.controlBackground
                border.color: FeedbackTheme.tint(FeedbackTheme.primary, 0.08)
                border.width: 1
                FeedbackFocusRing {
                    visible: codePill.visualFocus
                    cornerRadius: codePill.height / 2
                    accent: screen.view.accent
                }
            }
        }

        Text {
            renderType: Text.NativeRendering
            Layout.fillWidth: true
            Layout.leftMargin: 28
            Layout.rightMargin: 28
            text: screen.view.whatHappensNext
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            color: FeedbackTheme.secondary
            font.pixelSize: FeedbackTheme.smallSize
        }

        RowLayout {
            objectName: "screenshotNote"
            visible: screen.view.hasScreenshotNote
            Layout.alignment: Qt.AlignHCenter
            Layout.leftMargin: 28
            Layout.rightMargin: 28
            spacing: 6
            Accessible.role: Accessible.StaticText
            Accessible.name: screen.view.screenshotNote
            FeedbackSymbol {
                implicitWidth: 15
                implicitHeight: 15
                name: "photo.badge.exclamationmark"
                color: FeedbackTheme.secondary
            }
            Text {
                renderType: Text.NativeRendering
                text: screen.view.screenshotNote
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                color: FeedbackTheme.secondary
                font.pixelSize: FeedbackTheme.smallSize
            }
        }
    }

    FeedbackButton {
        id: doneButton
        objectName: "doneButton"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        anchors.bottomMargin: 16
        implicitHeight: 36
        fill: screen.view.accent
        ink: screen.view.accentInk
        text: screen.view.doneLabel
        onClicked: screen.view.close()
    }
}
