// The redaction editor: the snapshot large, on which the user drags rectangles that are blacked out
// before anything of the picture is sent. Undo, Clear and Done. The keyboard draws too: with the
// picture focused, the arrow keys move a frame (with Shift they resize it) and Return or Space blacks
// it out; Ctrl+Z undoes anywhere on the page.
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Morvik.Feedback

Rectangle {
    id: editor

    required property FeedbackView view

    // Done, or Escape: the composer goes back to the form.
    signal finished()

    color: FeedbackTheme.window
    onVisibleChanged: if (visible) {
        editor.view.loadRedactionPicture()
        canvas.forceActiveFocus(Qt.OtherFocusReason)
    }

    Shortcut {
        sequences: ["Ctrl+Z"]
        enabled: editor.visible
        onActivated: editor.view.undoRedaction()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        anchors.topMargin: 18
        anchors.bottomMargin: 12
        spacing: 10

        Label {
            renderType: Text.NativeRendering
            Layout.fillWidth: true
            text: editor.view.redactTitle
            wrapMode: Text.Wrap
            color: FeedbackTheme.primary
            font.pixelSize: FeedbackTheme.largeSize
            font.weight: Font.DemiBold
        }
        Text {
            renderType: Text.NativeRendering
            Layout.fillWidth: true
            text: editor.view.redactHint
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            color: FeedbackTheme.secondary
            font.pixelSize: FeedbackTheme.smallSize
        }

        Item {
            id: stage
            Layout.fillWidth: true
            Layout.fillHeight: true

            FeedbackThumbnail {
                id: canvas
                objectName: "redactionCanvas"
                // Fitted into the stage, never enlarged past twice its pixels.
                readonly property real fit: imageSize.width > 0
                    ? Math.min(stage.width / imageSize.width, stage.height / imageSize.height, 2) : 0
                anchors.centerIn: parent
                width: imageSize.width * fit
                height: imageSize.height * fit
                image: editor.view.redactionPicture
                activeFocusOnTab: true
                Accessible.role: Accessible.Graphic
                Accessible.name: editor.view.redactHint

                Repeater {
                    model: editor.view.redactions
                    Rectangle {
                        id: area
                        required property rect modelData
                        x: area.modelData.x * area.parent.width
                        y: area.modelData.y * area.parent.height
                        width: area.modelData.width * area.parent.width
                        height: area.modelData.height * area.parent.height
                        color: "black"
                    }
                }

                // The rectangle being dragged out.
                Rectangle {
                    id: dragged
                    visible: false
                    color: Qt.rgba(0, 0, 0, 0.55)
                    border.color: editor.view.accent
                    border.width: 1.5
                }

                // The keyboard's frame, shown while the picture has the focus.
                Rectangle {
                    id: keyFrame
                    property real fx: 0.4
                    property real fy: 0.4
                    property real fw: 0.2
                    property real fh: 0.2
                    visible: canvas.activeFocus && !dragged.visible
                    x: keyFrame.fx * canvas.width
                    y: keyFrame.fy * canvas.height
                    width: keyFrame.fw * canvas.width
                    height: keyFrame.fh * canvas.height
                    color: "transparent"
                    border.color: editor.view.accent
                    border.width: 2
                }

                MouseArea {
                    id: pointer
                    anchors.fill: parent
                    cursorShape: Qt.CrossCursor
                    property point from
                    function clampX(v) { return Math.max(0, Math.min(canvas.width, v)) }
                    function clampY(v) { return Math.max(0, Math.min(canvas.height, v)) }
                    onPressed: (mouse) => {
                        from = Qt.point(clampX(mouse.x), clampY(mouse.y))
                        dragged.x = from.x
                        dragged.y = from.y
                        dragged.width = 0
                        dragged.height = 0
                        dragged.visible = true
                    }
                    onPositionChanged: (mouse) => {
                        const x = clampX(mouse.x)
                        const y = clampY(mouse.y)
                        dragged.x = Math.min(from.x, x)
                        dragged.y = Math.min(from.y, y)
                        dragged.width = Math.abs(x - from.x)
                        dragged.height = Math.abs(y - from.y)
                    }
                    onReleased: {
                        dragged.visible = false
                        // A click without a drag blacks out nothing.
                        if (dragged.width >= 3 && dragged.height >= 3)
                            editor.view.addRedaction(Qt.rect(dragged.x / canvas.width, dragged.y / canvas.height,
                                                             dragged.width / canvas.width,
                                                             dragged.height / canvas.height))
                    }
                    onCanceled: dragged.visible = false
                }

                Keys.onPressed: (event) => {
                    const step = 0.02
                    let dx = 0, dy = 0
                    if (event.key === Qt.Key_Left) dx = -step
                    else if (event.key === Qt.Key_Right) dx = step
                    else if (event.key === Qt.Key_Up) dy = -step
                    else if (event.key === Qt.Key_Down) dy = step
                    else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter || event.key === Qt.Key_Space) {
                        editor.view.addRedaction(Qt.rect(keyFrame.fx, keyFrame.fy, keyFrame.fw, keyFrame.fh))
                        event.accepted = true
                        return
                    } else
                        return
                    if (event.modifiers & Qt.ShiftModifier) {
                        keyFrame.fw = Math.max(step, Math.min(1 - keyFrame.fx, keyFrame.fw + dx))
                        keyFrame.fh = Math.max(step, Math.min(1 - keyFrame.fy, keyFrame.fh + dy))
                    } else {
                        keyFrame.fx = Math.max(0, Math.min(1 - keyFrame.fw, keyFrame.fx + dx))
                        keyFrame.fy = Math.max(0, Math.min(1 - keyFrame.fh, keyFrame.fy + dy))
                    }
                    event.accepted = true
                }

                FeedbackFocusRing {
                    visible: canvas.activeFocus
                    cornerRadius: 0
                    accent: editor.view.accent
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            FeedbackButton {
                objectName: "undoButton"
                implicitHeight: 32
                leftPadding: 14
                rightPadding: 14
                fill: FeedbackTheme.tint(FeedbackTheme.primary, 0.08)
                ink: FeedbackTheme.primary
                labelSize: FeedbackTheme.bodySize
                text: editor.view.undoLabel
                enabled: editor.view.hasRedactions
                onClicked: editor.view.undoRedaction()
            }
            FeedbackButton {
                objectName: "clearButton"
                implicitHeight: 32
                leftPadding: 14
                rightPadding: 14
                fill: FeedbackTheme.tint(FeedbackTheme.primary, 0.08)
                ink: FeedbackTheme.primary
                labelSize: FeedbackTheme.bodySize
                text: editor.view.clearLabel
                enabled: editor.view.hasRedactions
                onClicked: editor.view.clearRedactions()
            }
            Item {
                Layout.fillWidth: true
            }
            FeedbackButton {
                objectName: "redactionDone"
                implicitHeight: 32
                leftPadding: 18
                rightPadding: 18
                fill: editor.view.accent
                ink: editor.view.accentInk
                labelSize: FeedbackTheme.bodySize
                text: editor.view.doneLabel
                onClicked: editor.finished()
            }
        }
    }
}
