import QtQuick
import "./fonts"

// The line under the record list: what the current tab's log says of its rows, its filter
// and its load ("1,204 of 3,927,867 records · filter active · opened in 1.2 s").
Rectangle {
    id: statusLine

    // The current tab's log, or null without a tab.
    property var log: null

    height: 24
    color: kestruneCore.getStyle("statusLineBackgroundColor", "#2b3033")

    Text {
        id: recordStatus

        objectName: "recordStatus"
        anchors.fill: parent
        leftPadding: 8
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        textFormat: Text.PlainText
        text: statusLine.log ? statusLine.log.statusText : ""
        font.family: GlobalFont.name
        font.pixelSize: 13
        color: "#ffffff"
    }
}
