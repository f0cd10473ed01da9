import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

TabButton {
    id: folderTabButton

    height: 50
    font.family: GlobalFont.name
    font.pixelSize: 14

    contentItem: Text {
        height: 50
        text: folderTabButton.text
        font: folderTabButton.font
        color: "#ffffff"
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        opacity: folderTabButton.hovered || folderTabButton.checked ? 1 : 0.7
    }

    background: Item {
        implicitHeight: 50

        Rectangle {
            objectName: "currentTabMark"
            anchors.bottom: parent.bottom
            width: parent.width
            height: 5
            color: "#3498db"
            visible: folderTabButton.checked
        }
    }
}
