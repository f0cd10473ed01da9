import QtQuick
import "./fonts"

// What the record list area shows instead of rows: the progress of a log's first load, or
// that the filter lets no record of the log through. Hidden while there are rows to show.
Item {
    id: placeholder

    // The current tab's log, or null.
    property var log: null
    readonly property bool loading: log !== null && log.state === "loading" && !log.model
    readonly property bool nothingPasses: log !== null && log.state === "ready"
                                          && log.shownRecords === 0 && log.totalRecords > 0
    readonly property real progress: loading ? log.bytesRead / Math.max(log.totalBytes, 1) : 0

    visible: loading || nothingPasses

    Column {
        anchors.centerIn: parent
        width: Math.min(parent.width - 40, 400)
        spacing: 12

        Text {
            objectName: "placeholderText"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            text: placeholder.loading
                  ? qsTr("Loading %1… %2%").arg(placeholder.log.name).arg(
                        Math.floor(placeholder.progress * 100))
                  : qsTr("No record passes the filter")
            font.family: GlobalFont.name
            font.pixelSize: 16
            color: "#c5c5c5"
        }

        Rectangle {
            objectName: "loadProgressBar"
            visible: placeholder.loading
            width: parent.width
            height: 6
            radius: 3
            color: "#34393d"

            Rectangle {
                width: parent.width * placeholder.progress
                height: parent.height
                radius: 3
                color: "#3498db"
            }
        }
    }
}
