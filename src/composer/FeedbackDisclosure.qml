// "What will be sent": every field Send would post now, as the report is built, in a list the user
// can read and scroll. Back (or Escape) returns to the form.
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Morvik.Feedback

Rectangle {
    id: page

    required property FeedbackView view
    // Read afresh each time the page opens, from the form as it stands.
    property var rows: []

    signal finished()

    color: FeedbackTheme.window
    onVisibleChanged: if (visible) {
        rows = view.disclosure()
        back.forceActiveFocus(Qt.OtherFocusReason)
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.topMargin: 18
        anchors.bottomMargin: 12
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            spacing: 10
            FeedbackButton {
                id: back
                objectName: "disclosureBack"
                implicitHeight: 28
                leftPadding: 12
                rightPadding: 12
                fill: FeedbackTheme.tint(FeedbackTheme.primary, 0.08)
                ink: FeedbackTheme.primary
                labelSize: FeedbackTheme.smallSize
                text: page.view.backLabel
                onClicked: page.finished()
            }
            Label {
                renderType: Text.NativeRendering
                Layout.fillWidth: true
                text: page.view.disclosureLabel
                wrapMode: Text.Wrap
                color: FeedbackTheme.primary
                font.pixelSize: FeedbackTheme.largeSize
                font.weight: Font.DemiBold
            }
        }
        Text {
            renderType: Text.NativeRendering
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            text: page.view.disclosureNote
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            color: FeedbackTheme.secondary
            font.pixelSize: FeedbackTheme.smallSize
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: FeedbackTheme.tint(FeedbackTheme.primary, 0.16)
        }

        ListView {
            id: list
            objectName: "disclosureList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: page.rows
            spacing: 8
            boundsBehavior: Flickable.StopAtBounds
            activeFocusOnTab: true
            keyNavigationEnabled: true
            ScrollIndicator.vertical: ScrollIndicator {}
            header: Item { implicitHeight: 4 }
            delegate: Column {
                id: entry
                required property var modelData
                x: 20
                width: entry.ListView.view.width - 40
                spacing: 1
                Accessible.role: Accessible.StaticText
                Accessible.name: entry.modelData.key + ": " + entry.modelData.value
                Text {
                    renderType: Text.NativeRendering
                    width: parent.width
                    text: entry.modelData.key
                    textFormat: Text.PlainText
                    wrapMode: Text.WrapAnywhere
                    color: FeedbackTheme.secondary
                    font.family: "monospace"
                    font.pixelSize: FeedbackTheme.captionSize
                }
                Text {
                    renderType: Text.NativeRendering
                    width: parent.width
                    text: entry.modelData.value.length > 0 ? entry.modelData.value : "—"
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    color: FeedbackTheme.primary
                    font.pixelSize: FeedbackTheme.smallSize
                }
            }
            Keys.onUpPressed: flick(0, 600)
            Keys.onDownPressed: flick(0, -600)
        }
    }
}
