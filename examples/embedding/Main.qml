import QtQuick
import QtQuick.Controls

// The example's one window. The composer opens in a window of its own.
ApplicationWindow {
    width: 360
    height: 200
    visible: true
    title: "Embedding example"

    Column {
        anchors.centerIn: parent
        spacing: 12

        Label {
            text: "An application that embeds the feedback component."
        }
        Button {
            text: "Send Feedback…"
            onClicked: feedback.compose()
        }
        // Place for the component's own QML types (import Morvik.Feedback) once the module ships them.
    }
}
