import QtQuick
import "./fonts"

// The line above the record list that shows the window's filter while it keeps records out,
// "Filter: any of "queue full", "elapsed time" · errors only", with a button that clears it.
// Hidden while no filter is set.
Rectangle {
    id: bar

    // The window's filter: texts, containsAll and onlyErrors, as the file view keeps it.
    property var filter: ({})
    readonly property var texts: (filter.texts || []).filter(text => text !== "")
    readonly property bool active: texts.length > 0 || filter.onlyErrors === true

    signal clearRequested

    // The parts of the filter, each as the bar words it.
    function parts() {
        const said = [];
        if (texts.length > 0) {
            const quoted = texts.map(text => "\u201c" + text + "\u201d").join(", ");
            said.push(filter.containsAll ? qsTr("all of %1").arg(quoted)
                                         : qsTr("any of %1").arg(quoted));
        }
        if (filter.onlyErrors)
            said.push(qsTr("errors only"));
        return said;
    }

    height: active ? 28 : 0
    visible: active
    color: kestruneCore.getStyle("filterBarBackgroundColor", "#1d6591")

    Text {
        objectName: "filterDescription"
        anchors.left: parent.left
        anchors.leftMargin: 8
        anchors.right: clearButton.left
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        elide: Text.ElideRight
        textFormat: Text.PlainText
        text: bar.active ? qsTr("Filter: %1").arg(bar.parts().join(" \u00b7 ")) : ""
        font.family: GlobalFont.name
        font.pixelSize: 13
        color: "#ffffff"
    }

    CommonButton {
        id: clearButton

        objectName: "clearFilterButton"
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        width: 90
        height: 20
        borderWidth: 1
        font.pixelSize: 12
        text: qsTr("Clear filter")
        onClicked: bar.clearRequested()
    }
}
