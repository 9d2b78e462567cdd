// The reward sentence for settings screens, one line in caption size. Made from QML it brings its
// own model (the default ink); the host may hand it one instead.
import QtQuick
import QtQuick.Controls.Fusion
import Morvik.Feedback

Label {
    property FeedbackRewardLineModel line: FeedbackRewardLineModel {}

    // On screen: visible itself and its window shown.
    readonly property bool onScreen: visible && Window.visibility !== Window.Hidden

    renderType: Text.NativeRendering
    text: line.text
    textFormat: Text.PlainText
    wrapMode: Text.Wrap
    color: line.ink
    font.pixelSize: FeedbackTheme.captionSize
    // The wording may have been refreshed since this was last on screen.
    onOnScreenChanged: if (onScreen) line.refresh()
}
