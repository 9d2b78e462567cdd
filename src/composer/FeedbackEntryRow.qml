// One row of a settings list that opens the composer: a symbol in the accent and a label, the whole
// width of its list. The settings section and the contact row are made of it.
import QtQuick
import QtQuick.Controls.Fusion
import Morvik.Feedback

AbstractButton {
    id: row

    property string symbol
    property color accent: FeedbackTheme.primary

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: Math.max(36, implicitContentHeight + topPadding + bottomPadding)
    leftPadding: 10
    rightPadding: 10
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: text
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    background: Rectangle {
        radius: 8
        color: row.down ? FeedbackTheme.tint(FeedbackTheme.primary, 0.12)
                        : row.hovered ? FeedbackTheme.tint(FeedbackTheme.primary, 0.06) : "transparent"

        FeedbackFocusRing {
            visible: row.visualFocus
            accent: row.accent
        }
    }

    contentItem: Row {
        spacing: 10

        FeedbackSymbol {
            anchors.verticalCenter: parent.verticalCenter
            width: 18
            height: 18
            name: row.symbol
            color: row.accent
        }
        Label {
            anchors.verticalCenter: parent.verticalCenter
            text: row.text
            color: FeedbackTheme.primary
            font.pixelSize: FeedbackTheme.bodySize
            renderType: Text.NativeRendering
        }
    }
}
