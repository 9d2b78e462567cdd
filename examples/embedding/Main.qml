import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Morvik.Feedback

// The example's window: a small map editor's settings page with every way the feedback component
// offers to open the composer.
ApplicationWindow {
    id: page
    objectName: "page"
    width: 760
    height: 560
    visible: true
    title: "Embedding example"

    // The application's own values that the components read and write.
    property bool showProblemReport: false
    property int feedbackIntent: -1

    RowLayout {
        anchors.fill: parent
        anchors.margins: 20
        spacing: 28

        ColumnLayout {
            Layout.preferredWidth: 300
            Layout.alignment: Qt.AlignTop
            spacing: 16

            Label {
                text: "Settings"
                font.pixelSize: 20
                font.bold: true
            }
            // The section with a sheet of its own.
            FeedbackSettingsSection {
                objectName: "ownSection"
                Layout.fillWidth: true
            }
            Label {
                text: "The same section, presented by the page itself:"
                font.italic: true
                Layout.topMargin: 8
            }
            // The same section only choosing the intent; the application presents the composer itself
            // with the item presenter below, on the same property.
            FeedbackSettingsSection {
                objectName: "boundSection"
                Layout.fillWidth: true
                intent: FeedbackBinding { target: page; property: "feedbackIntent" }
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            spacing: 12

            Label {
                text: "Help"
                font.pixelSize: 20
                font.bold: true
            }
            FeedbackContactUsRow {
                objectName: "contactRow"
                Layout.fillWidth: true
            }
            Button {
                objectName: "reportProblem"
                text: "Report a problem…"
                onClicked: page.showProblemReport = true
            }
            Button {
                objectName: "composerWindow"
                text: "Send Feedback… (window)"
                onClicked: feedback.compose()
            }
            Button {
                objectName: "exportMap"
                text: "Export the map"
                // Failure and journey records: the first try, then a failure or a success.
                onClicked: feedback.exportMap()
            }
            Label {
                text: feedback.status
                wrapMode: Text.Wrap
                Layout.fillWidth: true
            }
        }
    }

    FeedbackSheetPresenter {
        objectName: "problemPresenter"
        isPresented: FeedbackBinding { target: page; property: "showProblemReport" }
        intent: FeedbackView.Bug
    }
    FeedbackSheetItemPresenter {
        objectName: "intentPresenter"
        item: FeedbackBinding { target: page; property: "feedbackIntent" }
    }

    // Now and then, for long-standing users: an invitation to share an idea.
    FeedbackIdeaNudge {
        anchors.fill: parent
    }
}
