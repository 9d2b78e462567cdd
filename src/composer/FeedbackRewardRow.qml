// The reward row of the composer: the reward sentence and the fixed line with its "How it works"
// link. Read as one element; Return or Space opens "How it works".
import QtQuick
import QtQuick.Layouts
import Morvik.Feedback

Item {
    id: rewardRow

    required property FeedbackView view

    implicitHeight: rewardLayout.implicitHeight
    activeFocusOnTab: true
    Accessible.role: Accessible.Link
    Accessible.name: view.rewardAccessibleName
    Keys.onReturnPressed: Qt.openUrlExternally(view.rewardInfoUrl)
    Keys.onSpacePressed: Qt.openUrlExternally(view.rewardInfoUrl)

    FeedbackFocusRing {
        visible: rewardRow.activeFocus
        cornerRadius: 6
        accent: rewardRow.view.accent
    }

    RowLayout {
        id: rewardLayout
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 4
        anchors.rightMargin: 4
        spacing: 8
        FeedbackSymbol {
            Layout.alignment: Qt.AlignTop
            Layout.topMargin: 1
            implicitWidth: 16
            implicitHeight: 16
            name: "dollarsign.circle.fill"
            color: rewardRow.view.accent
            Accessible.ignored: true
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 3
            Text {
                renderType: Text.NativeRendering
                Layout.fillWidth: true
                text: rewardRow.view.rewardSheetLine
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                color: FeedbackTheme.secondary
                font.pixelSize: FeedbackTheme.smallSize
                Accessible.ignored: true
            }
            Text {
                id: infoLine
                renderType: Text.NativeRendering
                Layout.fillWidth: true
                text: rewardRow.view.rewardInfoMarkup
                textFormat: Text.StyledText
                wrapMode: Text.Wrap
                color: FeedbackTheme.secondary
                linkColor: rewardRow.view.accentText
                font.pixelSize: FeedbackTheme.smallSize
                onLinkActivated: (link) => Qt.openUrlExternally(link)
                Accessible.ignored: true
                HoverHandler {
                    cursorShape: infoLine.hoveredLink ? Qt.PointingHandCursor : Qt.ArrowCursor
                }
            }
        }
    }
}
