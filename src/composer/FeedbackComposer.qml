// The composer: the form, and the success screen that takes its place once the report is accepted.
// Everything it shows and does comes from the view model (FeedbackView); the layouts only lay it out,
// from the module's shared pieces. Hosts give it the view model as "view".
import QtQuick
import Morvik.Feedback

Rectangle {
    id: root

    required property FeedbackView view

    implicitWidth: 460
    implicitHeight: 580
    color: FeedbackTheme.window

    // Send from anywhere in the form (the editor handles the keys itself too).
    Shortcut {
        sequences: ["Ctrl+Return", "Ctrl+Enter"]
        enabled: root.view.canSend && !root.view.showsSuccess
        onActivated: root.view.submit()
    }

    FeedbackForm {
        id: form
        anchors.fill: parent
        view: root.view
    }

    FeedbackSuccessScreen {
        id: success
        objectName: "successScreen"
        anchors.fill: parent
        view: root.view
    }
}
