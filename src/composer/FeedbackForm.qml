// The composer's form: the header, the scrolling middle (intent cards, message, snapshot row,
// contact, reward row, error banner) and the footer with Send and its hint. It fades out when the
// report is accepted.
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Morvik.Feedback

Item {
    id: form

    required property FeedbackView view
    // The controls that open the pages, where the focus returns when a page closes.
    readonly property Item redactButton: snapshotRow.redactButton
    readonly property Item disclosureLink: disclosureLink

    signal redactRequested()
    signal disclosureRequested()

    opacity: form.view.showsSuccess ? 0 : 1
    visible: opacity > 0
    Behavior on opacity { NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }

    Item {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        implicitHeight: headerRow.implicitHeight + 18 + 12

        RowLayout {
            id: headerRow
            anchors.fill: parent
            anchors.leftMargin: 20
            anchors.rightMargin: 20
            anchors.topMargin: 18
            anchors.bottomMargin: 12
            spacing: 12

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 3
                Label {
                    renderType: Text.NativeRendering
                    Layout.fillWidth: true
                    text: form.view.headerTitle
                    textFormat: Text.PlainText
                    // A long product name takes a second line rather than losing its end.
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                    color: FeedbackTheme.primary
                    font.pixelSize: FeedbackTheme.largeSize
                    font.weight: Font.DemiBold
                }
                Label {
                    renderType: Text.NativeRendering
                    Layout.fillWidth: true
                    text: form.view.headerSubtitle
                    wrapMode: Text.Wrap
                    color: FeedbackTheme.secondary
                    font.pixelSize: FeedbackTheme.smallSize
                }
            }
            FeedbackCloseButton {
                id: formClose
                objectName: "closeButton"
                Layout.alignment: Qt.AlignTop
                text: form.view.closeLabel
                accent: form.view.accent
                onClicked: form.view.close()
            }
        }

        // The edge the form scrolls under: shown once anything is scrolled beneath the header.
        Rectangle {
            objectName: "headerDivider"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 1
            color: FeedbackTheme.tint(FeedbackTheme.primary, 0.16)
            opacity: middle.contentY > 0.5 ? 1 : 0
            Behavior on opacity { NumberAnimation { duration: 120 } }
        }
    }

    Flickable {
        id: middle
        objectName: "formScroll"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: header.bottom
        anchors.bottom: footer.top
        clip: true
        contentWidth: width
        contentHeight: column.implicitHeight + 4 + 8
        boundsBehavior: Flickable.StopAtBounds
        ScrollIndicator.vertical: ScrollIndicator {
            active: middle.moving || middle.flashIndicator
        }

        // When the form opens taller than the window, the indicator shows for a moment so that the
        // rows below the fold are not missed.
        property bool flashIndicator: contentHeight > height + 1
        Timer {
            interval: 1500
            running: middle.flashIndicator
            onTriggered: middle.flashIndicator = false
        }

        // Keeps the control that takes the focus in view.
        function reveal(item) {
            const top = item.mapToItem(column, 0, 0).y + column.y
            const bottom = top + item.height
            if (top < contentY)
                contentY = Math.max(0, top - 8)
            else if (bottom > contentY + height)
                contentY = Math.min(contentHeight - height, bottom - height + 8)
        }

        ColumnLayout {
            id: column
            x: 20
            y: 4
            width: middle.width - 40
            spacing: 10

            FeedbackIntentPicker {
                id: intentPicker
                Layout.fillWidth: true
                view: form.view
                onFocusEntered: (card) => middle.reveal(card)
                // A card picked with the pointer leaves the editor ready for typing.
                onPicked: editor.forceActiveFocus(Qt.MouseFocusReason)
            }

            FeedbackBox {
                id: editorBox
                Layout.fillWidth: true
                // Shorter with a snapshot row below, so that the whole form fits without scrolling.
                implicitHeight: Math.max(form.view.hasScreenshot ? 90 : 120, editor.implicitHeight)
                border.color: editor.activeFocus ? FeedbackTheme.tint(form.view.accent, 0.55) : FeedbackTheme.tint(FeedbackTheme.primary, 0.06)
                border.width: editor.activeFocus ? 1.5 : 1

                TapHandler {
                    onTapped: editor.forceActiveFocus(Qt.MouseFocusReason)
                }

                TextArea {
                    renderType: TextEdit.NativeRendering
                    id: editor
                    objectName: "messageEditor"
                    anchors.fill: parent
                    leftPadding: 17
                    rightPadding: 17
                    topPadding: 16
                    bottomPadding: 16
                    background: null
                    wrapMode: TextEdit.Wrap
                    selectByMouse: true
                    color: FeedbackTheme.primary
                    font.pixelSize: FeedbackTheme.bodySize
                    text: form.view.message
                    onTextChanged: form.view.message = text
                    onActiveFocusChanged: {
                        form.view.messageFocused = activeFocus
                        if (activeFocus)
                            middle.reveal(editorBox)
                    }
                    onCursorRectangleChanged: if (activeFocus) {
                        const y = cursorRectangle.y + editorBox.y + column.y
                        if (y + cursorRectangle.height + 16 > middle.contentY + middle.height)
                            middle.contentY = y + cursorRectangle.height + 16 - middle.height
                    }
                    Accessible.name: form.view.placeholder
                    // Tab moves on instead of typing a tab; Ctrl+Return sends.
                    Keys.onTabPressed: (event) => nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
                    Keys.onBacktabPressed: (event) => nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
                    Keys.onPressed: (event) => {
                        if ((event.key === Qt.Key_Return || event.key === Qt.Key_Enter)
                                && (event.modifiers & Qt.ControlModifier)) {
                            form.view.submit()
                            event.accepted = true
                        }
                    }
                }

                Text {
                    renderType: Text.NativeRendering
                    x: 17
                    y: 16
                    width: parent.width - 34
                    visible: form.view.showsPlaceholder
                    text: form.view.placeholder
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    color: FeedbackTheme.secondary
                    font.pixelSize: FeedbackTheme.bodySize
                }
            }

            FeedbackSnapshotRow {
                id: snapshotRow
                visible: form.view.hasScreenshot
                Layout.fillWidth: true
                view: form.view
                onFocusEntered: middle.reveal(snapshotRow)
                onRedactRequested: form.redactRequested()
            }

            FeedbackBox {
                id: contactBox
                Layout.fillWidth: true
                implicitHeight: contactLayout.implicitHeight + 26

                RowLayout {
                    id: contactLayout
                    anchors.fill: parent
                    anchors.leftMargin: 14
                    anchors.rightMargin: 14
                    anchors.topMargin: 13
                    anchors.bottomMargin: 13
                    spacing: 10
                    FeedbackSymbol {
                        implicitWidth: 17
                        implicitHeight: 17
                        name: "envelope"
                        color: FeedbackTheme.secondary
                    }
                    TextField {
                        renderType: TextInput.NativeRendering
                        id: contactField
                        objectName: "contactField"
                        Layout.fillWidth: true
                        padding: 0
                        background: null
                        color: FeedbackTheme.primary
                        font.pixelSize: FeedbackTheme.bodySize
                        placeholderText: form.view.contactPlaceholder
                        placeholderTextColor: FeedbackTheme.secondary
                        inputMethodHints: Qt.ImhEmailCharactersOnly | Qt.ImhNoPredictiveText | Qt.ImhNoAutoUppercase
                        selectByMouse: true
                        text: form.view.contact
                        onTextChanged: form.view.contact = text
                        Accessible.name: form.view.contactPlaceholder
                        onActiveFocusChanged: if (activeFocus) middle.reveal(contactBox)
                        // Return sends from the one-line field, as Ctrl+Return does everywhere.
                        Keys.onReturnPressed: if (form.view.canSend) form.view.submit()
                        Keys.onEnterPressed: if (form.view.canSend) form.view.submit()
                    }
                }
            }

            FeedbackRewardRow {
                id: rewardRow
                objectName: "rewardRow"
                visible: form.view.showsRewardLine
                Layout.fillWidth: true
                view: form.view
                onActiveFocusChanged: if (activeFocus) middle.reveal(rewardRow)
            }

            // "What will be sent": the report's fields as they would be posted now.
            FeedbackTextLink {
                id: disclosureLink
                objectName: "disclosureLink"
                Layout.fillWidth: true
                leftPadding: 4
                text: form.view.disclosureLabel
                color: form.view.accentText
                font.pixelSize: FeedbackTheme.smallSize
                onActivated: form.disclosureRequested()
                onActiveFocusChanged: if (activeFocus) middle.reveal(disclosureLink)
            }

            Rectangle {
                id: errorBanner
                objectName: "errorBanner"
                visible: form.view.hasError
                // Scrolled into view when it appears, once the column has made room for it.
                property bool revealPending: false
                onVisibleChanged: if (visible) revealPending = true
                onYChanged: if (revealPending && visible && height > 0) { revealPending = false; revealLater.start() }
                onHeightChanged: if (revealPending && visible && height > 0) { revealPending = false; revealLater.start() }
                // On the next turn of the event loop, when the layout has settled.
                Timer {
                    id: revealLater
                    interval: 0
                    onTriggered: middle.reveal(errorBanner)
                }
                Layout.fillWidth: true
                implicitHeight: errorLayout.implicitHeight + 24
                radius: 12
                color: FeedbackTheme.tint(FeedbackTheme.orange, 0.12)
                Accessible.role: Accessible.AlertMessage
                Accessible.name: form.view.errorText

                RowLayout {
                    id: errorLayout
                    anchors.fill: parent
                    anchors.margins: 12
                    spacing: 8
                    FeedbackSymbol {
                        Layout.alignment: Qt.AlignTop
                        implicitWidth: 17
                        implicitHeight: 17
                        name: "wifi.exclamationmark"
                        color: FeedbackTheme.orange
                    }
                    Text {
                        renderType: Text.NativeRendering
                        Layout.fillWidth: true
                        text: form.view.errorText
                        textFormat: Text.PlainText
                        wrapMode: Text.Wrap
                        horizontalAlignment: Text.AlignLeft
                        color: FeedbackTheme.primary
                        font.pixelSize: FeedbackTheme.smallSize
                    }
                }
            }
        }
    }

    Rectangle {
        id: footer
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        implicitHeight: footerColumn.implicitHeight + 24
        // Translucent over whatever scrolls beneath it.
        color: FeedbackTheme.tint(FeedbackTheme.window, 0.92)

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            height: 1
            color: FeedbackTheme.tint(FeedbackTheme.primary, 0.16)
            opacity: 0.5
        }

        ColumnLayout {
            id: footerColumn
            anchors.fill: parent
            anchors.leftMargin: 20
            anchors.rightMargin: 20
            anchors.topMargin: 12
            anchors.bottomMargin: 12
            spacing: 6

            FeedbackButton {
                id: sendButton
                objectName: "sendButton"
                Layout.fillWidth: true
                implicitHeight: 36
                fill: form.view.accent
                ink: form.view.accentInk
                disabledFill: form.view.disabledFill
                disabledInk: form.view.disabledInk
                text: form.view.sendLabel
                busy: form.view.sending
                enabled: form.view.canSend
                onClicked: form.view.submit()
            }
            Label {
                renderType: Text.NativeRendering
                id: hintLabel
                objectName: "hint"
                Layout.fillWidth: true
                // Keeps its line while hidden, so that Send stays where it is when typing starts.
                opacity: form.view.showsHint ? 1 : 0
                Accessible.ignored: !form.view.showsHint
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                text: form.view.hint
                color: FeedbackTheme.secondary
                font.pixelSize: FeedbackTheme.smallSize
                Accessible.role: Accessible.StaticText
                Accessible.name: form.view.hintAccessibleName
            }
        }
    }

    Component.onCompleted: editor.forceActiveFocus(Qt.OtherFocusReason)
}
