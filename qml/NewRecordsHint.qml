import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

// "↓ 12 new": records that a followed log took in while the list was away from its end; a
// click goes back to the end, where the list follows them again.
Button {
    id: hint

    property int count: 0

    objectName: "newRecordsHint"
    visible: count > 0
    text: qsTr("↓ %1 new").arg(count.toLocaleString(Qt.locale(), "f", 0))
    font.family: GlobalFont.name
    font.pixelSize: 12
    font.bold: true
    topPadding: 0
    bottomPadding: 0
    ToolTip.visible: hovered
    ToolTip.text: qsTr("Show the newest records and follow them")

    background: Rectangle {
        radius: height / 2
        color: "#fed104"
    }
}
