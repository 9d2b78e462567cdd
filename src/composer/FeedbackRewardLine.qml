// The reward sentence for settings screens, one line in caption size.
import QtQuick
import QtQuick.Controls.Fusion
import Morvik.Composer

Label {
    required property FeedbackRewardLine line

    // On screen: visible itself and its window shown.
    readonly property bool onScreen: visible && Window.visibility !== Window.Hidden

    renderType: Text.NativeRendering
    text: line.text
    textFormat: Text.PlainText
    wrapMode: Text.Wrap
    color: line.ink
    font.pixelSize: 11
    // The wording may have been refreshed since this was last on screen.
    onOnScreenChanged: if (onScreen) line.refresh()
}
