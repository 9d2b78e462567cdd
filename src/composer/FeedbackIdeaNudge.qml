// The idea card: laid over a screen of the application, it slides up at the bottom now and then to
// invite an idea. Its schedule and state are IdeaNudgeCard's; this lays it out and hosts the
// composer sheet that "Share an idea" opens. Put it over the screen's content (anchors.fill) and it
// follows that screen coming up and going away through its own visibility.
import QtQuick
import QtQuick.Controls.Fusion
import Morvik.Feedback

Item {
    id: root

    // The accent of the button and the focus rings: the configured one by default.
    property color accent: nudge.accent
    property color accentInk: nudge.accentInk
    readonly property alias card: nudge
    // Milliseconds before the card may come up, and how long it stays.
    property int appearDelay: 8000
    property int stayTime: 25000

    IdeaNudgeCard {
        id: nudge
        appearDelay: root.appearDelay
        stayTime: root.stayTime
    }

    onVisibleChanged: visible ? nudge.appeared() : nudge.disappeared()
    Component.onCompleted: if (visible) nudge.appeared()
    Component.onDestruction: nudge.disappeared()

    Rectangle {
        id: box
        objectName: "ideaNudgeCard"
        anchors.horizontalCenter: parent.horizontalCenter
        y: nudge.shown ? root.height - height - 18 : root.height - height + 24
        width: row.implicitWidth + 32
        height: row.implicitHeight + 24
        radius: 16
        color: Qt.rgba(FeedbackTheme.window.r, FeedbackTheme.window.g, FeedbackTheme.window.b, 0.94)
        border.color: Qt.rgba(FeedbackTheme.primary.r, FeedbackTheme.primary.g, FeedbackTheme.primary.b, 0.12)
        border.width: 1
        opacity: nudge.shown ? 1 : 0
        visible: opacity > 0

        Behavior on y {
            NumberAnimation {
                duration: 380
                easing.type: Easing.OutBack
                easing.overshoot: 0.8
            }
        }
        Behavior on opacity {
            NumberAnimation {
                duration: 250
            }
        }

        Row {
            id: row
            anchors.centerIn: parent
            spacing: 12

            Column {
                anchors.verticalCenter: parent.verticalCenter
                spacing: 2
                Text {
                    text: nudge.title
                    color: FeedbackTheme.primary
                    font.pixelSize: FeedbackTheme.bodySize
                    font.weight: Font.DemiBold
                }
                Text {
                    text: nudge.line
                    color: FeedbackTheme.secondary
                    font.pixelSize: FeedbackTheme.captionSize
                    width: Math.min(implicitWidth, 320)
                    wrapMode: Text.WordWrap
                }
            }

            FeedbackButton {
                objectName: "shareIdea"
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("Share an idea")
                fill: root.accent
                ink: root.accentInk
                leftPadding: 12
                rightPadding: 12
                labelSize: FeedbackTheme.smallSize
                onClicked: nudge.shareIdea()
            }

            FeedbackCloseButton {
                objectName: "notNow"
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("Not now")
                accent: root.accent
                onClicked: nudge.dismiss()
            }
        }
    }

    // The composer for an idea, without a snapshot, in a sheet over the window.
    FeedbackSheet {
        objectName: "ideaSheet"
        shown: nudge.sheetOpen
        intent: FeedbackView.Idea
        onDismissed: nudge.sheetClosed()
    }
}
