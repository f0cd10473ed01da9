import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

// A flat text button with an optional frame; a blue bar marks it while checked.
Button {
    id: control

    property color borderColor: "#ffffff"
    property int borderWidth: 0

    font.family: GlobalFont.name
    font.pixelSize: 14
    padding: 0
    topPadding: 0
    bottomPadding: 0
    leftPadding: 0
    rightPadding: 0
    // The veil follows the mouse on every platform, not only where hover effects are the default.
    hoverEnabled: true

    contentItem: Text {
        text: control.text
        font: control.font
        color: "#ffffff"
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter

        Rectangle {
            objectName: "veil"
            anchors.fill: parent
            color: "#ffffff"
            opacity: control.pressed ? 0.4 : 0.2
            visible: control.hovered || control.checked
        }
    }

    background: Rectangle {
        width: control.width
        height: control.height
        color: "transparent"
        border.color: control.borderColor
        border.width: control.borderWidth

        Rectangle {
            objectName: "checkedBar"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 5
            color: "#3498db"
            visible: control.checked
        }
    }
}
