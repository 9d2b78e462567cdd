// The demo owner's window: a toolbar with "Send Feedback…", a drawing to take pictures of, and the
// helper's lines.
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts

Rectangle {
    id: root
    required property QtObject owner
    implicitWidth: 1040
    implicitHeight: 640
    color: "#eef0f4"

    Rectangle {
        id: toolbar
        anchors.left: parent.left
        anchors.right: parent.right
        height: 52
        color: "#34466e"
        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 16
            anchors.rightMargin: 16
            spacing: 14
            Button {
                id: sendFeedback
                objectName: "sendFeedback"
                text: "Send Feedback…"
                enabled: root.owner.ready
                focus: true
                onClicked: root.owner.compose()
            }
            Label {
                text: root.owner.ready ? "The helper is ready." : "Starting the helper…"
                color: "white"
            }
            Item { Layout.fillWidth: true }
            Label {
                text: "drawing.sketch"
                color: "#c8d2e6"
            }
        }
    }

    RowLayout {
        anchors.top: toolbar.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 16
        spacing: 16

        // Something worth a snapshot.
        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            radius: 8
            color: "white"
            border.color: "#d5dae3"
            Rectangle { x: 40; y: 40; width: 220; height: 150; radius: 14; color: "#e8a046" }
            Rectangle { x: 180; y: 130; width: 170; height: 170; radius: 85; color: "#6ea5d2"; opacity: 0.9 }
            Rectangle { x: 60; y: 260; width: 300; height: 26; radius: 4; color: "#9ab87a" }
            Text {
                x: 40
                y: 320
                text: "Layer 3 of 3 · 100 %"
                color: "#6b7280"
                font.pixelSize: 13
            }
        }

        Rectangle {
            Layout.preferredWidth: 470
            Layout.fillHeight: true
            radius: 8
            color: "#1f2430"
            ListView {
                id: log
                anchors.fill: parent
                anchors.margins: 10
                clip: true
                model: root.owner.lines
                onCountChanged: positionViewAtEnd()
                delegate: Text {
                    required property string modelData
                    width: log.width
                    text: modelData
                    wrapMode: Text.WrapAnywhere
                    color: modelData.startsWith("owner ->") ? "#9ccfd8" : modelData.startsWith("helper") ? "#e6e1cf" : "#f2a36b"
                    font.family: "monospace"
                    font.pixelSize: 11
                }
            }
        }
    }
}
