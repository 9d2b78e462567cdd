// The composer's form and its success screen. Everything it shows and does comes from the view
// model (FeedbackView); this file only lays it out.
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Morvik.Composer

Rectangle {
    id: root

    required property FeedbackView view

    implicitWidth: 460
    implicitHeight: 580
    color: sys.window

    SystemPalette {
        id: sys
        colorGroup: SystemPalette.Active
    }

    function tint(c, alpha) {
        return Qt.rgba(c.r, c.g, c.b, c.a * alpha)
    }

    readonly property color primary: sys.windowText
    readonly property color secondary: tint(sys.windowText, 0.6)
    readonly property color controlBackground: sys.base
    readonly property color accent: view.accent
    readonly property color ink: view.accentInk
    readonly property color orange: "#f28c0f"

    // Text is drawn by the platform's font rasteriser: crisp at these small sizes, and far quicker
    // to bring up than distance-field glyphs when the window first opens.
    readonly property int largeSize: 17
    readonly property int bodySize: 13
    readonly property int smallSize: 12
    readonly property int captionSize: 11

    // Send from anywhere in the form (the editor handles the keys itself too).
    Shortcut {
        sequences: ["Ctrl+Return", "Ctrl+Enter"]
        enabled: root.view.canSend && !root.view.showsSuccess
        onActivated: root.view.submit()
    }

    // --- Pieces -------------------------------------------------------------------------------

    // A ring that shows which control has the keyboard focus.
    component FocusRing: Rectangle {
        property real radius_: 8
        anchors.fill: parent
        anchors.margins: -3
        radius: radius_ + 3
        color: "transparent"
        border.color: root.tint(root.accent, 0.7)
        border.width: 2
    }

    component CloseButton: AbstractButton {
        id: closeButton
        implicitWidth: 24
        implicitHeight: 24
        focusPolicy: Qt.StrongFocus
        Accessible.role: Accessible.Button
        Accessible.name: root.view.closeLabel
        onClicked: root.view.close()
        contentItem: FeedbackSymbol {
            name: "xmark.circle.fill"
            color: closeButton.pressed ? root.primary : root.secondary
        }
        background: Item {
            FocusRing {
                visible: closeButton.visualFocus
                radius_: 12
            }
        }
    }

    // A full-width button filled with the accent (Send, Done).
    component AccentButton: AbstractButton {
        id: accentButton
        property bool busy: false
        implicitHeight: 36
        focusPolicy: Qt.StrongFocus
        Accessible.role: Accessible.Button
        Accessible.name: text
        // Return presses the button as Space does.
        Keys.onReturnPressed: if (enabled) clicked()
        Keys.onEnterPressed: if (enabled) clicked()
        contentItem: Item {
            implicitHeight: label.implicitHeight + 8
            Row {
                anchors.centerIn: parent
                spacing: 7
                FeedbackSymbol {
                    id: spinner
                    visible: accentButton.busy
                    width: 14
                    height: 14
                    anchors.verticalCenter: parent.verticalCenter
                    name: "progress.arc"
                    color: root.ink
                    RotationAnimator on rotation {
                        running: spinner.visible
                        from: 0
                        to: 360
                        duration: 900
                        loops: Animation.Infinite
                    }
                }
                Label {
                    renderType: Text.NativeRendering
                    id: label
                    anchors.verticalCenter: parent.verticalCenter
                    text: accentButton.text
                    color: root.ink
                    font.pixelSize: root.bodySize + 1
                    font.weight: Font.DemiBold
                }
            }
        }
        background: Rectangle {
            radius: 8
            color: accentButton.down ? Qt.darker(root.accent, 1.12) : root.accent
            opacity: accentButton.enabled || accentButton.busy ? 1 : 0.45
            FocusRing {
                visible: accentButton.visualFocus
                radius_: 8
            }
        }
    }

    // A box on the control background with the hairline border (cards, editor, rows).
    component Box: Rectangle {
        radius: 14
        color: root.controlBackground
        border.color: root.tint(root.primary, 0.06)
        border.width: 1
    }

    component IntentCard: AbstractButton {
        id: card
        required property int index
        readonly property var info: root.view.intentCards[index]
        readonly property bool selected: root.view.intent === index

        Layout.fillWidth: true
        Layout.preferredWidth: 1
        implicitHeight: cardColumn.implicitHeight + 24
        focusPolicy: Qt.StrongFocus
        Accessible.role: Accessible.Button
        Accessible.name: info.label
        Accessible.selectable: true
        Accessible.selected: selected
        onClicked: root.view.intent = index

        background: Rectangle {
            radius: 14
            color: root.controlBackground
            border.color: card.selected ? root.tint(root.accent, 0.7) : root.tint(root.primary, 0.06)
            border.width: card.selected ? 1.5 : 1
            Behavior on border.color { ColorAnimation { duration: 300; easing.type: Easing.OutBack } }
            FocusRing {
                visible: card.visualFocus
                radius_: 14
            }
        }
        contentItem: Item {
            ColumnLayout {
                id: cardColumn
                anchors.centerIn: parent
                spacing: 7
                Rectangle {
                    Layout.alignment: Qt.AlignHCenter
                    implicitWidth: 40
                    implicitHeight: 40
                    radius: 20
                    color: card.selected ? root.accent : root.tint(root.accent, 0.12)
                    Behavior on color { ColorAnimation { duration: 300; easing.type: Easing.OutBack } }
                    FeedbackSymbol {
                        anchors.centerIn: parent
                        width: 20
                        height: 20
                        name: card.info.icon
                        color: card.selected ? root.ink : root.accent
                    }
                }
                Label {
                    renderType: Text.NativeRendering
                    Layout.alignment: Qt.AlignHCenter
                    text: card.info.shortLabel
                    font.pixelSize: root.smallSize
                    font.weight: card.selected ? Font.DemiBold : Font.Normal
                    color: card.selected ? root.primary : root.secondary
                }
            }
        }
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
                        color: root.primary
                        font.pixelSize: root.largeSize
                        font.weight: Font.DemiBold
                    }
                    Label {
                        renderType: Text.NativeRendering
                        Layout.fillWidth: true
                        text: root.view.headerSubtitle
                        elide: Text.ElideRight
                        color: root.secondary
                        font.pixelSize: root.smallSize
                    }
                }
                CloseButton {
                    id: formClose
                    objectName: "closeButton"
                    Layout.alignment: Qt.AlignTop
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

                RowLayout {
                    id: intentPicker
                    Layout.fillWidth: true
                    spacing: 10
                    Repeater {
                        model: 3
                        delegate: IntentCard {
                            objectName: "intentCard" + index
                            onActiveFocusChanged: if (activeFocus) middle.reveal(this)
                        }
                    }
                }

                Box {
                    id: editorBox
                    Layout.fillWidth: true
                    implicitHeight: Math.max(120, editor.implicitHeight)
                    border.color: editor.activeFocus ? root.tint(root.accent, 0.55) : root.tint(root.primary, 0.06)
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
                        color: root.primary
                        font.pixelSize: root.bodySize
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
                        color: root.secondary
                        font.pixelSize: root.bodySize
                    }
                }

                Box {
                    id: snapshotRow
                    visible: root.view.hasScreenshot
                    Layout.fillWidth: true
                    implicitHeight: snapshotLayout.implicitHeight + 24

                    RowLayout {
                        id: snapshotLayout
                        anchors.fill: parent
                        anchors.margins: 12
                        spacing: 12
                        FeedbackThumbnail {
                            visible: root.view.hasThumbnail
                            implicitWidth: 40
                            implicitHeight: 40
                            radius: 9
                            image: root.view.thumbnail
                        }
                        ColumnLayout {
                            Layout.fillWidth: true
                            spacing: 2
                            Label {
                                renderType: Text.NativeRendering
                                Layout.fillWidth: true
                                text: root.view.snapshotTitle
                                elide: Text.ElideRight
                                color: root.primary
                                font.pixelSize: root.bodySize
                                font.weight: Font.Medium
                            }
                            Label {
                                renderType: Text.NativeRendering
                                Layout.fillWidth: true
                                text: root.view.snapshotSubtitle
                                elide: Text.ElideRight
                                color: root.secondary
                                font.pixelSize: root.captionSize
                            }
                        }
                        Switch {
                            id: attachSwitch
                            objectName: "attachSwitch"
                            padding: 0
                            // A capsule in the accent when on.
                            indicator: Rectangle {
                                implicitWidth: 38
                                implicitHeight: 22
                                x: attachSwitch.leftPadding
                                y: (attachSwitch.height - height) / 2
                                radius: 11
                                color: attachSwitch.checked ? root.accent : root.tint(root.primary, 0.16)
                                Behavior on color { ColorAnimation { duration: 150 } }
                                Rectangle {
                                    width: 18
                                    height: 18
                                    radius: 9
                                    y: 2
                                    x: attachSwitch.checked ? parent.width - width - 2 : 2
                                    color: "white"
                                    border.color: root.tint(root.primary, 0.1)
                                    Behavior on x { NumberAnimation { duration: 150; easing.type: Easing.OutCubic } }
                                }
                                FocusRing {
                                    visible: attachSwitch.visualFocus
                                    radius_: 11
                                }
                            }
                            checked: root.view.attachScreenshot
                            onToggled: root.view.attachScreenshot = checked
                            focusPolicy: Qt.StrongFocus
                            Accessible.name: root.view.snapshotSwitchLabel
                            onActiveFocusChanged: if (activeFocus) middle.reveal(snapshotRow)
                        }
                    }
                }

                Box {
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
                            color: root.secondary
                        }
                        TextField {
                            renderType: TextInput.NativeRendering
                            id: contactField
                            objectName: "contactField"
                            Layout.fillWidth: true
                            padding: 0
                            background: null
                            color: root.primary
                            font.pixelSize: root.bodySize
                            placeholderText: root.view.contactPlaceholder
                            placeholderTextColor: root.secondary
                            inputMethodHints: Qt.ImhEmailCharactersOnly | Qt.ImhNoPredictiveText | Qt.ImhNoAutoUppercase
                            selectByMouse: true
                            text: root.view.contact
                            onTextChanged: root.view.contact = text
                            Accessible.name: root.view.contactPlaceholder
                            onActiveFocusChanged: if (activeFocus) middle.reveal(contactBox)
                        }
                    }
                }

                // Read as one element; Return or Space opens "How it works".
                Item {
                    id: rewardRow
                    objectName: "rewardRow"
                    visible: root.view.showsRewardLine
                    Layout.fillWidth: true
                    implicitHeight: rewardLayout.implicitHeight
                    activeFocusOnTab: true
                    Accessible.role: Accessible.Link
                    Accessible.name: root.view.rewardAccessibleName
                    Keys.onReturnPressed: Qt.openUrlExternally(root.view.rewardInfoUrl)
                    Keys.onSpacePressed: Qt.openUrlExternally(root.view.rewardInfoUrl)
                    onActiveFocusChanged: if (activeFocus) middle.reveal(rewardRow)

                    FocusRing {
                        visible: rewardRow.activeFocus
                        radius_: 6
                    }

                    RowLayout {
                        id: rewardLayout
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.leftMargin: 4
                        anchors.rightMargin: 4
                        spacing: 8
                        FeedbackSymbol {
                            Layout.alignment: Qt.AlignTop
                            Layout.topMargin: 1
                            implicitWidth: 16
                            implicitHeight: 16
                            name: "dollarsign.circle.fill"
                            color: root.accent
                            Accessible.ignored: true
                        }
                        ColumnLayout {
                            Layout.fillWidth: true
                            spacing: 3
                            Text {
                                renderType: Text.NativeRendering
                                Layout.fillWidth: true
                                text: root.view.rewardSheetLine
                                textFormat: Text.PlainText
                                wrapMode: Text.Wrap
                                color: root.secondary
                                font.pixelSize: root.smallSize
                                Accessible.ignored: true
                            }
                            Text {
                                renderType: Text.NativeRendering
                                Layout.fillWidth: true
                                text: root.view.rewardInfoMarkup
                                textFormat: Text.StyledText
                                wrapMode: Text.Wrap
                                color: root.secondary
                                linkColor: root.accent
                                font.pixelSize: root.smallSize
                                onLinkActivated: (link) => Qt.openUrlExternally(link)
                                Accessible.ignored: true
                                HoverHandler {
                                    cursorShape: parent.hoveredLink ? Qt.PointingHandCursor : Qt.ArrowCursor
                                }
                            }
                        }
                    }
                }

                Rectangle {
                    id: errorBanner
                    objectName: "errorBanner"
                    visible: root.view.hasError
                    // Scrolled into view when it appears, once the column has made room for it.
                    property bool revealPending: false
                    onVisibleChanged: if (visible) revealPending = true
                    onYChanged: if (revealPending && visible && height > 0) { revealPending = false; Qt.callLater(() => middle.reveal(errorBanner)) }
                    onHeightChanged: if (revealPending && visible && height > 0) { revealPending = false; Qt.callLater(() => middle.reveal(errorBanner)) }
                    Layout.fillWidth: true
                    implicitHeight: errorLayout.implicitHeight + 24
                    radius: 12
                    color: root.tint(root.orange, 0.12)
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
                            color: root.orange
                        }
                        Text {
                            renderType: Text.NativeRendering
                            Layout.fillWidth: true
                            text: root.view.errorText
                            textFormat: Text.PlainText
                            wrapMode: Text.Wrap
                            horizontalAlignment: Text.AlignLeft
                            color: root.primary
                            font.pixelSize: root.smallSize
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
            color: root.tint(sys.window, 0.92)

            Rectangle {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                height: 1
                color: root.tint(root.primary, 0.16)
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

                AccentButton {
                    id: sendButton
                    objectName: "sendButton"
                    Layout.fillWidth: true
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
                    color: root.secondary
                    font.pixelSize: root.smallSize
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

        CloseButton {
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.rightMargin: 20
            anchors.topMargin: 18
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
                    color: root.tint(root.accent, 0.12)
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
                    color: root.primary
                    font.pixelSize: root.largeSize + 5
                    font.weight: Font.Bold
                }
                Label {
                    renderType: Text.NativeRendering
                    Layout.alignment: Qt.AlignHCenter
                    text: root.view.successSubtitle
                    textFormat: Text.PlainText
                    color: root.secondary
                    font.pixelSize: root.bodySize
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
                        color: root.primary
                        font.family: "monospace"
                        font.pixelSize: 20
                        font.weight: Font.Bold
                    }
                    FeedbackSymbol {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 16
                        height: 16
                        name: root.view.codeSymbol
                        color: root.view.copiedCode ? root.accent : root.secondary
                    }
                }
                background: Rectangle {
                    radius: height / 2
                    color: root.controlBackground
                    border.color: root.tint(root.primary, 0.08)
                    border.width: 1
                    FocusRing {
                        visible: codePill.visualFocus
                        radius_: codePill.height / 2
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
                color: root.secondary
                font.pixelSize: root.smallSize
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
                    color: root.secondary
                }
                Text {
                    renderType: Text.NativeRendering
                    text: root.view.screenshotNote
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    horizontalAlignment: Text.AlignHCenter
                    color: root.secondary
                    font.pixelSize: root.smallSize
                }
            }
        }

        AccentButton {
            id: doneButton
            objectName: "doneButton"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.leftMargin: 20
            anchors.rightMargin: 20
            anchors.bottomMargin: 16
            text: root.view.doneLabel
            onClicked: root.view.close()
        }
    }

    Component.onCompleted: editor.forceActiveFocus(Qt.OtherFocusReason)
}
