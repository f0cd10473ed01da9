import QtQuick
import "./fonts"

// One labelled field of the detail window; the value can be selected, copied and edited.
Item {
    id: root

    property string labelName: ""
    property string content: ""
    property bool alignVCenter: true

    width: 300
    height: 30

    // The copy goes one way: typing in the field never changes content, and the field
    // keeps what was typed until content itself changes.
    onContentChanged: edit.text = content
    Component.onCompleted: edit.text = content

    Item {
        id: labelBox

        width: 85
        height: root.height

        Text {
            anchors.fill: parent
            text: root.labelName
            font.family: GlobalFont.name
            font.pixelSize: 14
            font.bold: true
            color: "#ffffff"
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
    }

    Rectangle {
        anchors.left: labelBox.right
        anchors.right: root.right
        height: root.height
        color: "#eeeeee"

        TextEdit {
            id: edit

            anchors.fill: parent
            anchors.margins: 2
            font.family: GlobalFont.name
            font.pixelSize: 16
            wrapMode: TextEdit.Wrap
            textFormat: TextEdit.PlainText
            verticalAlignment: root.alignVCenter ? TextEdit.AlignVCenter : TextEdit.AlignTop
            selectionColor: "#000000"
            selectByMouse: true
            selectByKeyboard: true
            focus: true
        }
    }
}
