// The composer's form and its success screen. Everything it shows and does comes from the view
// model (FeedbackView); this file only lays it out, from the module's shared pieces.
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Morvik.Feedback

Rectangle {
    id: root

    required property FeedbackView view

    implicitWidth: 460
    implicitHeight: 580
    color: FeedbackTheme.window

    readonly property color accent: view.accent
    readonly property color ink: view.accentInk

    // Send from anywhere in the form (the editor handles the keys itself too).
    Shortcut {
        sequences: ["Ctrl+Return", "Ctrl+Enter"]
        enabled: root.view.canSend && !root.view.showsSuccess
        onActivated: root.view.submit()
    }

    // --- Form -----------------------------------------------------------------------------------

    Item {
        id: form
        anchors.fill: parent
        opacity: root.view.showsSuccess ? 0 : 1
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
                        text: root.view.headerTitle
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: FeedbackTheme.primary
                        font.pixelSize: FeedbackTheme.largeSize
                        font.weight: Font.DemiBold
                    }
                    Label {
                        renderType: Text.NativeRendering
                        Layout.fillWidth: true
                        text: root.view.headerSubtitle
                        elide: Text.ElideRight
                        color: FeedbackTheme.secondary
                        font.pixelSize: FeedbackTheme.smallSize
                    }
                }
                FeedbackCloseButton {
                    id: formClose
                    objectName: "closeButton"
                    Layout.alignment: Qt.AlignTop
                    text: root.view.closeLabel
                    accent: root.accent
                    onClicked: root.view.close()
                }
            }
        }

        Flickable {
            id: middle
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: header.bottom
            anchors.bottom: footer.top
            clip: true
            contentWidth: width
            contentHeight: column.implicitHeight + 4 + 12
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
                spacing: 14

                FeedbackIntentPicker {
                    id: intentPicker
                    Layout.fillWidth: true
                    view: root.view
                    onFocusEntered: (card) => middle.reveal(card)
                }

                FeedbackBox {
                    id: editorBox
                    Layout.fillWidth: true
                    implicitHeight: Math.max(120, editor.implicitHeight)
                    border.color: editor.activeFocus ? FeedbackTheme.tint(root.accent, 0.55) : FeedbackTheme.tint(FeedbackTheme.primary, 0.06)
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
                        text: root.view.message
                        onTextChanged: root.view.message = text
                        onActiveFocusChanged: {
                            root.view.messageFocused = activeFocus
                            if (activeFocus)
                                middle.reveal(editorBox)
                        }
                        onCursorRectangleChanged: if (activeFocus) {
                            const y = cursorRectangle.y + editorBox.y + column.y
                            if (y + cursorRectangle.height + 16 > middle.contentY + middle.height)
                                middle.contentY = y + cursorRectangle.height + 16 - middle.height
                        }
                        Accessible.name: root.view.placeholder
                        // Tab moves on instead of typing a tab; Ctrl+Return sends.
                        Keys.onTabPressed: (event) => nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
                        Keys.onBacktabPressed: (event) => nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
                        Keys.onPressed: (event) => {
                            if ((event.key === Qt.Key_Return || event.key === Qt.Key_Enter)
                                    && (event.modifiers & Qt.ControlModifier)) {
                                root.view.submit()
                                event.accepted = true
                            }
                        }
                    }

                    Text {
                        renderType: Text.NativeRendering
                        x: 17
                        y: 16
                        width: parent.width - 34
                        visible: root.view.showsPlaceholder
                        text: root.view.placeholder
                        textFormat: Text.PlainText
                        wrapMode: Text.Wrap
                        color: FeedbackTheme.secondary
                        font.pixelSize: FeedbackTheme.bodySize
                    }
                }

                FeedbackSnapshotRow {
                    id: snapshotRow
                    visible: root.view.hasScreenshot
                    Layout.fillWidth: true
                    view: root.view
                    onFocusEntered: middle.reveal(snapshotRow)
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
                            placeholderText: root.view.contactPlaceholder
                            placeholderTextColor: FeedbackTheme.secondary
                            inputMethodHints: Qt.ImhEmailCharactersOnly | Qt.ImhNoPredictiveText | Qt.ImhNoAutoUppercase
                            selectByMouse: true
                            text: root.view.contact
                            onTextChanged: root.view.contact = text
                            Accessible.name: root.view.contactPlaceholder
                            onActiveFocusChanged: if (activeFocus) middle.reveal(contactBox)
                        }
                    }
                }

                FeedbackRewardRow {
                    id: rewardRow
                    objectName: "rewardRow"
                    visible: root.view.showsRewardLine
                    Layout.fillWidth: true
                    view: root.view
                    onActiveFocusChanged: if (activeFocus) middle.reveal(rewardRow)
                }

                Rectangle {
                    id: errorBanner
                    objectName: "errorBanner"
                    visible: root.view.hasError
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
                    Accessible.name: root.view.errorText

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
                            text: root.view.errorText
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
                    fill: root.accent
                    ink: root.ink
                    text: root.view.sendLabel
                    busy: root.view.sending
                    enabled: root.view.canSend
                    onClicked: root.view.submit()
                }
                Label {
                    renderType: Text.NativeRendering
                    id: hintLabel
                    objectName: "hint"
                    Layout.fillWidth: true
                    visible: root.view.showsHint
                    horizontalAlignment: Text.AlignHCenter
                    text: root.view.hint
                    color: FeedbackTheme.secondary
                    font.pixelSize: FeedbackTheme.smallSize
                    Accessible.role: Accessible.StaticText
                    Accessible.name: root.view.hintAccessibleName
                }
            }
        }
    }

    // --- Success --------------------------------------------------------------------------------

    Item {
        id: success
        objectName: "successScreen"
        anchors.fill: parent
        opacity: root.view.showsSuccess ? 1 : 0
        visible: opacity > 0
        Behavior on opacity { NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }

        // The first time the screen shows: the seal grows into view and Done takes the focus.
        onVisibleChanged: if (visible) {
            root.view.sealShown = true
            doneButton.forceActiveFocus(Qt.OtherFocusReason)
        }

        FeedbackCloseButton {
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.rightMargin: 20
            anchors.topMargin: 18
            text: root.view.closeLabel
            accent: root.accent
            onClicked: root.view.close()
        }

        ColumnLayout {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            anchors.verticalCenterOffset: -20
            spacing: 18

            Item {
                Layout.alignment: Qt.AlignHCenter
                implicitWidth: 96
                implicitHeight: 96
                scale: root.view.sealShown ? 1 : 0.4
                opacity: root.view.sealShown ? 1 : 0
                Behavior on scale { SpringAnimation { spring: 4.5; damping: 0.28; epsilon: 0.002 } }
                Behavior on opacity { NumberAnimation { duration: 300; easing.type: Easing.OutCubic } }
                Rectangle {
                    anchors.fill: parent
                    radius: 48
                    color: FeedbackTheme.tint(root.accent, 0.12)
                }
                FeedbackSymbol {
                    anchors.centerIn: parent
                    width: 50
                    height: 50
                    name: "checkmark.seal.fill"
                    color: root.accent
                }
            }

            ColumnLayout {
                Layout.alignment: Qt.AlignHCenter
                spacing: 6
                Label {
                    renderType: Text.NativeRendering
                    Layout.alignment: Qt.AlignHCenter
                    text: root.view.successTitle
                    color: FeedbackTheme.primary
                    font.pixelSize: FeedbackTheme.largeSize + 5
                    font.weight: Font.Bold
                }
                Label {
                    renderType: Text.NativeRendering
                    Layout.alignment: Qt.AlignHCenter
                    text: root.view.successSubtitle
                    textFormat: Text.PlainText
                    color: FeedbackTheme.secondary
                    font.pixelSize: FeedbackTheme.bodySize
                }
            }

            AbstractButton {
                id: codePill
                objectName: "codePill"
                Layout.alignment: Qt.AlignHCenter
                leftPadding: 18
                rightPadding: 18
                topPadding: 10
                bottomPadding: 10
                focusPolicy: Qt.StrongFocus
                Accessible.role: Accessible.Button
                Accessible.name: root.view.codeAccessibleName
                onClicked: root.view.copyCode(root.view.code)
                contentItem: Row {
                    spacing: 8
                    Label {
                        renderType: Text.NativeRendering
                        anchors.verticalCenter: parent.verticalCenter
                        text: root.view.code
                        textFormat: Text.PlainText
                        color: FeedbackTheme.primary
                        font.family: "monospace"
                        font.pixelSize: 20
                        font.weight: Font.Bold
                    }
                    FeedbackSymbol {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 16
                        height: 16
                        name: root.view.codeSymbol
                        color: root.view.copiedCode ? root.accent : FeedbackTheme.secondary
                    }
                }
                background: Rectangle {
                    radius: height / 2
                    color: FeedbackTheme.controlBackground
                    border.color: FeedbackTheme.tint(FeedbackTheme.primary, 0.08)
                    border.width: 1
                    FeedbackFocusRing {
                        visible: codePill.visualFocus
                        cornerRadius: codePill.height / 2
                        accent: root.accent
                    }
                }
            }

            Text {
                renderType: Text.NativeRendering
                Layout.fillWidth: true
                Layout.leftMargin: 28
                Layout.rightMargin: 28
                text: root.view.whatHappensNext
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                color: FeedbackTheme.secondary
                font.pixelSize: FeedbackTheme.smallSize
            }

            RowLayout {
                objectName: "screenshotNote"
                visible: root.view.hasScreenshotNote
                Layout.alignment: Qt.AlignHCenter
                Layout.leftMargin: 28
                Layout.rightMargin: 28
                spacing: 6
                Accessible.role: Accessible.StaticText
                Accessible.name: root.view.screenshotNote
                FeedbackSymbol {
                    implicitWidth: 15
                    implicitHeight: 15
                    name: "photo.badge.exclamationmark"
                    color: FeedbackTheme.secondary
                }
                Text {
                    renderType: Text.NativeRendering
                    text: root.view.screenshotNote
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    horizontalAlignment: Text.AlignHCenter
                    color: FeedbackTheme.secondary
                    font.pixelSize: FeedbackTheme.smallSize
                }
            }
        }

        FeedbackButton {
            id: doneButton
            objectName: "doneButton"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.leftMargin: 20
            anchors.rightMargin: 20
            anchors.bottomMargin: 16
            implicitHeight: 36
            fill: root.accent
            ink: root.ink
            text: root.view.doneLabel
            onClicked: root.view.close()
        }
    }

    Component.onCompleted: editor.forceActiveFocus(Qt.OtherFocusReason)
}
