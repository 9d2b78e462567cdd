// The "Feedback" section of an application's settings screen: "Report a bug", "Share an idea" and
// "Contact Us", then the reward line. Each time it comes on screen it asks for the current reward
// wording.
//
//   FeedbackSettingsSection {}
//       opens the composer in a sheet of its own, with a snapshot of the screen taken first when
//       snapshots are captured;
//   FeedbackSettingsSection { intent: FeedbackBinding { target: page; property: "feedbackIntent" } }
//       only writes the chosen intent into the application's property and opens nothing: the
//       application presents the composer itself (a FeedbackSheetItemPresenter on the same property).
import QtQuick
import QtQuick.Controls.Fusion
import Morvik.Feedback

Column {
    id: section

    // The application's intent, when it presents the composer itself.
    property FeedbackBinding intent: null
    // The intent of the section's own sheet while it is open, -1 otherwise.
    readonly property int ownIntent: state.ownIntent
    readonly property alias opener: opener
    readonly property alias sheet: sheet

    // On screen: visible itself and its window shown.
    readonly property bool onScreen: visible && Window.visibility !== Window.Hidden

    // Opens the composer for an intent, as a press on the matching row does.
    function openWith(chosen: int) {
        if (section.intent) {
            section.intent.write(chosen)
            return
        }
        opener.request(chosen)
    }

    spacing: 2
    onOnScreenChanged: if (onScreen) rewardLine.line.fetch()
    Component.onCompleted: if (onScreen) rewardLine.line.fetch()

    QtObject {
        id: state
        property int ownIntent: -1
    }

    FeedbackSheetOpener {
        id: opener
        onReady: chosen => state.ownIntent = chosen
    }

    Label {
        text: qsTr("Feedback")
        color: FeedbackTheme.secondary
        font.pixelSize: FeedbackTheme.smallSize
        font.weight: Font.DemiBold
        leftPadding: 10
        bottomPadding: 4
        renderType: Text.NativeRendering
        Accessible.role: Accessible.Heading
    }

    FeedbackEntryRow {
        objectName: "reportBug"
        width: section.width
        symbol: "ladybug"
        text: qsTr("Report a bug")
        accent: opener.accent
        onClicked: section.openWith(FeedbackView.Bug)
    }
    FeedbackEntryRow {
        objectName: "shareIdea"
        width: section.width
        symbol: "lightbulb"
        text: qsTr("Share an idea")
        accent: opener.accent
        onClicked: section.openWith(FeedbackView.Idea)
    }
    FeedbackEntryRow {
        objectName: "contactUs"
        width: section.width
        symbol: "envelope"
        text: qsTr("Contact Us")
        accent: opener.accent
        onClicked: section.openWith(FeedbackView.Praise)
    }

    FeedbackRewardLine {
        id: rewardLine
        objectName: "rewardLine"
        width: section.width
        leftPadding: 10
        rightPadding: 10
        topPadding: 4
    }

    // Never opens while the application presents the composer itself.
    FeedbackSheet {
        id: sheet
        objectName: "settingsSheet"
        shown: !section.intent && state.ownIntent >= 0
        intent: Math.max(state.ownIntent, 0)
        snapshot: opener.snapshot
        onDismissed: state.ownIntent = -1
    }
}
