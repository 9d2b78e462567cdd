// Presents the composer for one intent while a boolean of the application is true, and writes false
// back into it when the sheet is dismissed. Place it anywhere in the screen that presents it:
//
//   property bool showFeedback: false
//   FeedbackSheetPresenter {
//       isPresented: FeedbackBinding { target: page; property: "showFeedback" }
//       intent: FeedbackView.Bug
//   }
//
// The request is followed while the presenter is on screen: each change of the application's value
// runs again (replacing a capture still under way), and so does the presenter coming on screen.
import QtQuick
import Morvik.Feedback

Item {
    id: presenter

    property FeedbackBinding isPresented: null
    property int intent: FeedbackView.Idea
    readonly property bool shown: state.shown
    readonly property alias opener: opener
    readonly property alias sheet: sheet

    readonly property bool onScreen: visible && Window.visibility !== Window.Hidden

    function run() {
        opener.cancel()
        if (!presenter.onScreen)
            return
        if (presenter.isPresented && presenter.isPresented.value === true)
            opener.request(presenter.intent)
        else
            state.shown = false
    }

    onOnScreenChanged: run()
    onIsPresentedChanged: run()
    Component.onCompleted: run()

    Connections {
        target: presenter.isPresented
        function onValueChanged() {
            presenter.run()
        }
    }

    QtObject {
        id: state
        property bool shown: false
    }

    FeedbackSheetOpener {
        id: opener
        onReady: state.shown = true
    }

    FeedbackSheet {
        id: sheet
        objectName: "presentedSheet"
        shown: state.shown
        intent: presenter.intent
        snapshot: opener.snapshot
        onDismissed: {
            state.shown = false
            if (presenter.isPresented)
                presenter.isPresented.write(false)
        }
    }
}
