// The composer: the form, the pages it opens (the redaction editor and "What will be sent"), and the
// success screen that takes the form's place once the report is accepted. Everything it shows and
// does comes from the view model (FeedbackView); the layouts only lay it out, from the module's
// shared pieces. Hosts give it the view model as "view".
import QtQuick
import Morvik.Feedback

Rectangle {
    id: root

    required property FeedbackView view
    // The page over the form: "" (none), "redaction" or "disclosure".
    property string page: ""

    implicitWidth: 460
    implicitHeight: 580
    color: FeedbackTheme.window

    function closePage() {
        const opener = page === "redaction" ? form.redactButton : form.disclosureLink
        page = ""
        opener.forceActiveFocus(Qt.OtherFocusReason)
    }

    // Send from anywhere in the form (the editor handles the keys itself too).
    Shortcut {
        sequences: ["Ctrl+Return", "Ctrl+Enter"]
        enabled: root.view.canSend && !root.view.showsSuccess && root.page === ""
        onActivated: root.view.submit()
    }
    // Escape leaves a page, else closes the composer as its close button does.
    Shortcut {
        sequences: ["Escape"]
        onActivated: root.page !== "" ? root.closePage() : root.view.close()
    }

    FeedbackForm {
        id: form
        anchors.fill: parent
        view: root.view
        enabled: root.page === ""
        onRedactRequested: root.page = "redaction"
        onDisclosureRequested: root.page = "disclosure"
    }

    FeedbackRedactionEditor {
        objectName: "redactionEditor"
        anchors.fill: parent
        visible: root.page === "redaction" && !root.view.showsSuccess
        view: root.view
        onFinished: root.closePage()
    }

    FeedbackDisclosure {
        objectName: "disclosurePage"
        anchors.fill: parent
        visible: root.page === "disclosure" && !root.view.showsSuccess
        view: root.view
        onFinished: root.closePage()
    }

    FeedbackSuccessScreen {
        id: success
        objectName: "successScreen"
        anchors.fill: parent
        view: root.view
    }
}
