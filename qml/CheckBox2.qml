import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

// A check box with a flat box; it takes the keyboard focus only through the Tab key.
CheckBox {
    id: control

    property real radius: 2
    property color backgroundColor: "#808080"
    property color textColor: "#a1a1a1"
    property color borderColor: "transparent"
    property int borderWidth: 2
    property color highlightColor: "#fed104"
    property string textFont: GlobalFont.name
    property int textSize: 14

    focusPolicy: Qt.TabFocus
    activeFocusOnTab: true
    spacing: 0

    indicator: Item {
        implicitWidth: 30
        implicitHeight: 30

        Rectangle {
            objectName: "box"
            anchors.fill: parent
            anchors.margins: 5
            color: control.backgroundColor
            radius: control.radius
            opacity: control.enabled ? 1 : 0.3
            border.width: control.borderWidth
            border.color: control.activeFocus ? control.highlightColor : control.borderColor

            Image {
                objectName: "mark"
                anchors.centerIn: parent
                source: control.checkState === Qt.Checked
                        ? "./img/icon_global_checked.svg"
                        : control.checkState === Qt.PartiallyChecked
                          ? "./img/btn_global_checkbox_partial.svg" : ""
            }
        }
    }

    contentItem: Text {
        leftPadding: control.indicator.width + control.spacing
        text: control.text
        font.family: control.textFont
        font.pixelSize: control.textSize
        wrapMode: Text.WordWrap
        color: control.textColor
        opacity: control.enabled ? 1 : 0.3
    }
}
