import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

// A floating box with a find-text field and a go-to-date field; Enter hands the text on.
Rectangle {
    id: findNextPanel

    // The text to find, for the find keys of the record list.
    readonly property alias findText: nextTextField.text
    // What the last text search met ("No match", "Wrapped"), shown in the find-text field,
    // and what the last date search met, shown in the date field; typing clears each.
    property string message: ""
    property string dateMessage: ""
    // How many rows hold the find text ("12 of 3,402"), shown after the message.
    property string countText: ""
    // How the log writes its dates, when the typed date could not match them; shown under
    // the fields until the date is changed.
    property string dateHint: ""
    readonly property color messageColor: kestruneCore.getStyle("findMessageColor", "#808080")

    signal findNext(string str)
    signal findDate(string str)
    signal closePanel

    function setFocusOnTextField() {
        nextTextField.forceActiveFocus();
    }

    width: 340
    height: dateHint === "" ? 110 : dateHintText.y + dateHintText.height + 10
    color: "#34393d"
    border.width: 2
    border.color: Qt.darker("#181a1c")

    // Keeps clicks on the free area from reaching the record row underneath.
    MouseArea {
        anchors.fill: parent
    }

    TextField {
        id: nextTextField

        objectName: "findTextField"
        x: 10
        y: 10
        width: 320
        height: 40
        font.family: GlobalFont.name
        font.pixelSize: 16
        selectByMouse: true
        selectionColor: "#000000"
        selectedTextColor: "#ffffff"
        placeholderText: qsTr("Find...")
        verticalAlignment: TextInput.AlignVCenter
        leftPadding: 5
        // Typed text stops short of the message.
        rightPadding: findMessage.text === "" ? 5 : findMessage.width + 13
        onAccepted: findNextPanel.findNext(text)
        // What the last search met says nothing about a new text.
        onTextChanged: findNextPanel.message = ""

        Text {
            id: findMessage

            objectName: "findMessage"
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            text: findNextPanel.message === "" || findNextPanel.countText === ""
                  ? findNextPanel.message + findNextPanel.countText
                  : findNextPanel.message + " \u00b7 " + findNextPanel.countText
            font.family: GlobalFont.name
            font.pixelSize: 13
            color: findNextPanel.messageColor
        }
    }

    TextField {
        id: nextDateField

        objectName: "findDateField"
        x: 10
        anchors.top: nextTextField.bottom
        anchors.topMargin: 10
        width: 320
        height: 40
        font.family: GlobalFont.name
        font.pixelSize: 16
        selectByMouse: true
        selectionColor: "#000000"
        selectedTextColor: "#ffffff"
        placeholderText: qsTr("2023/02/28 12:34:56")
        verticalAlignment: TextInput.AlignVCenter
        leftPadding: 5
        rightPadding: findNextPanel.dateMessage === "" ? 5 : dateMessage.width + 13
        onAccepted: findNextPanel.findDate(text)
        onTextChanged: {
            findNextPanel.dateMessage = "";
            findNextPanel.dateHint = "";
        }

        Text {
            id: dateMessage

            objectName: "dateMessage"
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            text: findNextPanel.dateMessage
            font.family: GlobalFont.name
            font.pixelSize: 13
            color: findNextPanel.messageColor
        }
    }

    Text {
        id: dateHintText

        objectName: "dateHint"
        anchors.top: nextDateField.bottom
        anchors.topMargin: 6
        x: 10
        width: 320
        visible: findNextPanel.dateHint !== ""
        wrapMode: Text.Wrap
        textFormat: Text.PlainText
        text: findNextPanel.dateHint
        font.family: GlobalFont.name
        font.pixelSize: 13
        color: "#ffd27f"
    }
}
