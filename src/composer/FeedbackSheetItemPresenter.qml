// Presents the composer for the intent an application's property holds, and writes "no intent" back
// into it when the sheet is dismissed. Place it anywhere in the screen that presents it:
//
//   property int feedbackIntent: -1          // or a var property holding undefined
//   FeedbackSheetItemPresenter { item: FeedbackBinding { target: page; property: "feedbackIntent" } }
//
// Any value but FeedbackView.Idea, Bug or Praise is no intent. The request is followed while the
// presenter is on screen: each change of the application's value runs again (replacing a capture
// still under way), and so does the presenter coming on screen.
import QtQuick
import Morvik.Feedback

Item {
    id: presenter

    property FeedbackBinding item: null
    // The intent of the open sheet, -1 while none is open.
    readonly property int shown: state.shown
    readonly property alias opener: opener
    readonly property alias sheet: sheet

    readonly property bool onScreen: visible && Window.visibility !== Window.Hidden

    function run() {
        opener.cancel()
        if (!presenter.onScreen)
            return
        if (presenter.item && presenter.item.hasIntent)
            opener.request(presenter.item.intent)
        else
            state.shown = -1
    }

    onOnScreenChanged: run()
    onItemChanged: run()
    Component.onCompleted: run()

    Connections {
        target: presenter.item
        function onValueChanged() {
            presenter.run()
        }
    }

    QtObject {
        id: state
        property int shown: -1
    }

    FeedbackSheetOpener {
        id: opener
        onReady: chosen => state.shown = chosen
    }

    FeedbackSheet {
        id: sheet
        objectName: "presentedSheet"
        shown: state.shown >= 0
        intent: Math.max(state.shown, 0)
        snapshot: opener.snapshot
        onDismissed: {
            state.shown = -1
            if (presenter.item)
                presenter.item.writeNone()
        }
    }
}
