// The three intent cards side by side, always idea, bug, praise, sharing the width equally.
import QtQuick
import QtQuick.Layouts
import Morvik.Feedback

RowLayout {
    id: picker

    required property FeedbackView view

    // A card took the keyboard focus (the form scrolls it into view).
    signal focusEntered(Item card)
    // A card was picked with the pointer.
    signal picked()

    spacing: 10

    FeedbackIntentCard {
        id: ideaCard
        objectName: "intentCard0"
        view: picker.view
        index: FeedbackView.Idea
        Layout.fillWidth: true
        Layout.preferredWidth: 1
        onActiveFocusChanged: if (activeFocus) picker.focusEntered(ideaCard)
        onPointerPicked: picker.picked()
    }
    FeedbackIntentCard {
        id: bugCard
        objectName: "intentCard1"
        view: picker.view
        index: FeedbackView.Bug
        Layout.fillWidth: true
        Layout.preferredWidth: 1
        onActiveFocusChanged: if (activeFocus) picker.focusEntered(bugCard)
        onPointerPicked: picker.picked()
    }
    FeedbackIntentCard {
        id: praiseCard
        objectName: "intentCard2"
        view: picker.view
        index: FeedbackView.Praise
        Layout.fillWidth: true
        Layout.preferredWidth: 1
        onActiveFocusChanged: if (activeFocus) picker.focusEntered(praiseCard)
        onPointerPicked: picker.picked()
    }
}
