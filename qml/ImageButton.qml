import QtQuick
import QtQuick.Controls

// An icon button: darker while pressed, a veil while hovered and a white veil while disabled.
AbstractButton {
    id: control

    property color backgroundColor: "transparent"
    property color hoverColor: "#0f000000"
    property int radius: 2
    property url imageSource
    property int backgroundBorderWidth: 0
    property color backgroundBorderColor: "#ffffff"

    implicitWidth: 30
    implicitHeight: 30
    padding: 0
    hoverEnabled: true

    contentItem: Item {
        Image {
            objectName: "icon"
            anchors.centerIn: parent
            source: control.imageSource
        }

        Rectangle {
            objectName: "disabledVeil"
            anchors.fill: parent
            radius: control.radius
            color: "#acffffff"
            visible: !control.enabled
        }
    }

    background: Rectangle {
        width: control.width
        height: control.height
        radius: control.radius
        color: control.down ? "#33000000" : control.backgroundColor
        border.width: control.backgroundBorderWidth
        border.color: control.backgroundBorderColor

        Rectangle {
            objectName: "hoverVeil"
            anchors.fill: parent
            radius: control.radius
            color: control.hoverColor
            visible: control.hovered && control.enabled
        }
    }
}
