import QtQuick
import QtQuick.Controls.Material

// A thin vertical scroll bar that places itself along the right edge of the view it serves.
ScrollBar {
    id: control

    property var attachedView
    property color barColor: "#cfcfcf"
    property int barRadius: width / 2
    readonly property bool showScrollBar: size < 1.0

    parent: attachedView ? attachedView.parent : null
    anchors.top: attachedView ? attachedView.top : undefined
    anchors.topMargin: 15
    anchors.bottom: attachedView ? attachedView.bottom : undefined
    anchors.bottomMargin: 15
    anchors.right: attachedView ? attachedView.right : undefined
    anchors.rightMargin: 1
    width: 10
    stepSize: 0.05
    policy: ScrollBar.AsNeeded

    contentItem: Rectangle {
        implicitWidth: 10
        radius: control.barRadius
        color: control.barColor
        visible: control.showScrollBar
    }
}
