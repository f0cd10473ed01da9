import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

// One labelled field of the detail window; the value can be selected and copied, not edited.
Item {
    id: root

    property string labelName: ""
    property string content: ""
    property bool alignVCenter: true

    width: 300
    height: 30

    // A new value is shown from its first line.
    onContentChanged: scroller.contentY = 0

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

        // A value taller than its box scrolls inside it.
        Flickable {
            id: scroller

            objectName: "scroller"
            anchors.fill: parent
            anchors.margins: 2
            clip: true
            contentWidth: width
            contentHeight: edit.height
            boundsBehavior: Flickable.StopAtBounds

            ScrollBar.vertical: ScrollBar {
                id: verticalBar

                policy: scroller.contentHeight > scroller.height ? ScrollBar.AlwaysOn
                                                                 : ScrollBar.AlwaysOff
            }

            TextEdit {
                id: edit

                objectName: "edit"
                text: root.content
                // Wrapped clear of the scroll bar, whether it shows or not: a width that
                // followed the bar would follow the text's own height.
                width: scroller.width - verticalBar.width
                // At least as high as the box, so that a short value can be centred in it.
                height: Math.max(implicitHeight, scroller.height)
                font.family: GlobalFont.name
                font.pixelSize: 16
                wrapMode: TextEdit.Wrap
                textFormat: TextEdit.PlainText
                verticalAlignment: root.alignVCenter ? TextEdit.AlignVCenter : TextEdit.AlignTop
                selectionColor: "#000000"
                readOnly: true
                selectByMouse: true
                selectByKeyboard: true
                focus: true
            }
        }
    }
}
