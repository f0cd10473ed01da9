import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

Button {
    id: btnFiles

    property bool selected: false

    font.family: GlobalFont.name
    font.pixelSize: 14
    topPadding: 0
    bottomPadding: 0
    leftPadding: 0
    rightPadding: 0

    contentItem: Item {
        Text {
            objectName: "label"
            anchors.fill: parent
            leftPadding: 15
            text: btnFiles.text
            textFormat: Text.PlainText
            font: btnFiles.font
            color: "#ffffff"
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }

        Rectangle {
            anchors.fill: parent
            color: "#ffffff"
            opacity: btnFiles.pressed ? 0.4 : 0.2
            visible: btnFiles.hovered
        }
    }

    background: Rectangle {
        height: btnFiles.height
        color: "transparent"
        border.color: "#3498db"
        border.width: btnFiles.selected ? 1 : 0
    }
}
