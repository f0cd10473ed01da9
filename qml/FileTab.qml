import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

// One tab of the file view's strip: the log name and a small close button.
Item {
    id: root

    property string text: ""
    property bool isCurrentIndex: false
    // The share of the log read so far while it loads; below 0 when no load runs.
    property real progress: -1

    signal switchToTab
    signal closeTab

    width: 120
    height: 50

    Rectangle {
        objectName: "currentBackground"
        anchors.fill: parent
        color: kestruneCore.getStyle("textBackgroundColor", "#2b3033")
        visible: root.isCurrentIndex
    }

    Rectangle {
        objectName: "hoverOverlay"
        anchors.fill: parent
        color: "#ffffff"
        opacity: 0.3
        visible: mos.containsMouse
    }

    // Kept clear of the close button on the right, and as far from the left edge.
    Text {
        id: label

        objectName: "label"
        anchors.fill: parent
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        elide: Text.ElideRight
        text: root.text
        textFormat: Text.PlainText
        font.family: GlobalFont.name
        font.pixelSize: 14
        color: "#ffffff"
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    MouseArea {
        id: mos

        objectName: "tabMouseArea"
        anchors.fill: parent
        hoverEnabled: true
        onClicked: root.switchToTab()
        // The whole name, where the label cut it.
        ToolTip.visible: containsMouse && label.truncated
        ToolTip.delay: 500
        ToolTip.text: root.text

        RoundButton {
            id: btnClose

            objectName: "btnClose"
            width: 14
            height: 14
            radius: 7
            // Centres the 8 x 8 label box in the 14 x 14 button.
            padding: 3
            anchors.top: parent.top
            anchors.topMargin: 3
            anchors.right: parent.right
            anchors.rightMargin: 3
            onClicked: root.closeTab()

            contentItem: Text {
                text: "X"
                font.family: GlobalFont.name
                font.pixelSize: 8
                font.bold: true
                color: "#dddddd"
                opacity: btnClose.enabled ? 1.0 : 0.3
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideRight
            }

            background: Rectangle {
                radius: 7
                color: Qt.lighter("#181a1c")
            }
        }
    }

    // Marks the current tab also when its background has the strip's own colour.
    Rectangle {
        objectName: "currentMark"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 3
        color: "#3498db"
        visible: root.isCurrentIndex
    }

    // The share of the log read while it loads, along the top edge.
    Rectangle {
        objectName: "loadProgress"
        anchors.left: parent.left
        anchors.top: parent.top
        width: parent.width * Math.min(root.progress, 1)
        height: 3
        color: "#3498db"
        visible: root.progress >= 0
    }
}
