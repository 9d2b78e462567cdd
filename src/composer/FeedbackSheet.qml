// The composer in a sheet over the application's window. A new composer is made for each opening, so
// each opening is a new report. The sheet opens while `shown` is true; when it closes (Escape, the
// composer's own close buttons, or `shown` turning false) it emits dismissed(), and its holder clears
// whatever asked for it.
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Templates as T
import Morvik.Feedback

Popup {
    id: sheet

    property bool shown: false
    // FeedbackView.Idea, Bug or Praise.
    property int intent: FeedbackView.Idea
    // The snapshot's bytes; empty for none.
    property var snapshot
    readonly property FeedbackComposer composer: content.item as FeedbackComposer

    signal dismissed

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    modal: true
    padding: 0
    // Escape reaches the composer, which leaves an open page first and otherwise asks to close.
    closePolicy: Popup.NoAutoClose
    onShownChanged: shown ? open() : close()
    Component.onCompleted: if (shown) open()
    onClosed: dismissed()

    // A single child: the sheet takes its size.
    Loader {
        id: content
        active: sheet.visible
        sourceComponent: FeedbackComposer {
            view: FeedbackView {}
        }

        // Given to each new composer, and followed while it is open (an application may switch the
        // intent of an open sheet).
        Binding {
            target: sheet.composer ? sheet.composer.view : null
            property: "intent"
            value: sheet.intent
        }
        Binding {
            target: sheet.composer ? sheet.composer.view : null
            property: "snapshot"
            value: sheet.snapshot
        }

        Connections {
            target: sheet.composer ? sheet.composer.view : null
            function onCloseRequested() {
                sheet.close()
            }
        }
    }
}
