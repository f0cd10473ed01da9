import QtQuick
import QtQuick.Controls.Universal

// A framed button that shows only an icon, and has none set.
Button {
    id: control

    implicitWidth: 150
    implicitHeight: 35
    text: qsTr("My client")
    display: AbstractButton.IconOnly
    padding: 0
    hoverEnabled: true

    background: Item {
        implicitWidth: 40
        implicitHeight: 20

        Rectangle {
            anchors.fill: parent
            color: "#ffffff"
            opacity: control.pressed ? 0.4 : 0.2
            visible: control.hovered || control.checked
        }

        Rectangle {
            anchors.fill: parent
            color: "transparent"
            border.width: 1
            border.color: "#ffffff"
        }
    }
}
