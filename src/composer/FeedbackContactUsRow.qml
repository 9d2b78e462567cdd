// A single "Contact Us" row for any place of an application's interface; it opens the composer for
// praise in a sheet of its own, with a snapshot of the screen taken first when snapshots are captured.
import QtQuick
import Morvik.Feedback

FeedbackEntryRow {
    id: row

    readonly property bool open: state.open
    readonly property alias opener: opener
    readonly property alias sheet: sheet

    objectName: "contactUs"
    symbol: "envelope"
    text: qsTr("Contact Us")
    accent: opener.accent
    onClicked: opener.request(FeedbackView.Praise)

    QtObject {
        id: state
        property bool open: false
    }

    FeedbackSheetOpener {
        id: opener
        onReady: state.open = true
    }

    FeedbackSheet {
        id: sheet
        objectName: "contactSheet"
        shown: state.open
        intent: FeedbackView.Praise
        snapshot: opener.snapshot
        onDismissed: state.open = false
    }
}
