// The snapshot row of the composer: the snapshot's thumbnail (when the bytes are a picture), what
// attaching means, and the switch that keeps or drops it.
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Morvik.Feedback

FeedbackBox {
    id: row

    required property FeedbackView view

    // The switch or the redaction link took the keyboard focus (the form scrolls the row into view).
    signal focusEntered()
    // The user asked to black out parts of the picture.
    signal redactRequested()

    readonly property Item redactButton: redactLink

    implicitHeight: snapshotLayout.implicitHeight + 24

    RowLayout {
        id: snapshotLayout
        anchors.fill: parent
        anchors.margins: 12
        spacing: 12
        FeedbackThumbnail {
            objectName: "snapshotThumbnail"
            visible: row.view.hasThumbnail
            implicitWidth: 40
            implicitHeight: 40
            radius: 9
            image: row.view.thumbnail
            // The picture opens large in the redaction editor.
            TapHandler {
                enabled: !row.view.sending
                onTapped: row.redactRequested()
            }
            HoverHandler {
                cursorShape: Qt.PointingHandCursor
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Label {
                renderType: Text.NativeRendering
                Layout.fillWidth: true
                text: row.view.snapshotTitle
                wrapMode: Text.Wrap
                color: FeedbackTheme.primary
                font.pixelSize: FeedbackTheme.bodySize
                font.weight: Font.Medium
            }
            Label {
                renderType: Text.NativeRendering
                Layout.fillWidth: true
                text: row.view.snapshotSubtitle
                wrapMode: Text.Wrap
                color: FeedbackTheme.secondary
                font.pixelSize: FeedbackTheme.captionSize
            }
            FeedbackTextLink {
                id: redactLink
                objectName: "redactButton"
                visible: row.view.hasThumbnail && row.view.attachScreenshot
                enabled: !row.view.sending
                text: row.view.redactLabel
                color: row.view.accentText
                font.pixelSize: FeedbackTheme.captionSize
                Accessible.role: Accessible.Button
                Accessible.name: row.view.redactTitle
                onActivated: row.redactRequested()
                onActiveFocusChanged: if (activeFocus) row.focusEntered()
            }
        }
        Switch {
            id: attachSwitch
            objectName: "attachSwitch"
            padding: 0
            // A capsule in the accent when on.
            indicator: Rectangle {
                implicitWidth: 38
                implicitHeight: 22
                x: attachSwitch.leftPadding
                y: (attachSwitch.height - height) / 2
                radius: 11
                color: attachSwitch.checked ? row.view.accent : FeedbackTheme.tint(FeedbackTheme.primary, 0.16)
                Behavior on color {
                    ColorAnimation {
                        duration: 150
                    }
                }
                Rectangle {
                    width: 18
                    height: 18
                    radius: 9
                    y: 2
                    x: attachSwitch.checked ? parent.width - width - 2 : 2
                    color: "white"
                    border.color: FeedbackTheme.tint(FeedbackTheme.primary, 0.1)
                    Behavior on x {
                        NumberAnimation {
                            duration: 150
                            easing.type: Easing.OutCubic
                        }
                    }
                }
                FeedbackFocusRing {
                    visible: attachSwitch.visualFocus
                    cornerRadius: 11
                    accent: row.view.accent
                }
            }
            checked: row.view.attachScreenshot
            onToggled: row.view.attachScreenshot = checked
            focusPolicy: Qt.StrongFocus
            Accessible.name: row.view.snapshotSwitchLabel
            onActiveFocusChanged: if (activeFocus) row.focusEntered()
        }
    }
}
