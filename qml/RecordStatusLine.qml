import QtQuick
import "./fonts"

// The line under the record list: what the current tab's log says of its rows, its filter
// and its load ("1,204 of 3,927,867 records · filter active · opened in 1.2 s"), and at its
// right for a few seconds what the user has just done ("Copied 3 records").
Rectangle {
    id: statusLine

    // The current tab's log, or null without a tab.
    property var log: null

    // Records that a followed log took in while the list was away from its end.
    property int newRecords: 0

    // The follow switch was clicked.
    signal followClicked
    // The new records' hint was clicked.
    signal newRecordsClicked

    // Shows a confirmation at the right for a few seconds.
    function tell(text) {
        confirmation.text = text;
        confirmationTimer.restart();
    }

    height: 24
    color: kestruneCore.getStyle("statusLineBackgroundColor", "#2b3033")

    Text {
        id: recordStatus

        objectName: "recordStatus"
        anchors.left: parent.left
        anchors.right: newRecordsHint.visible ? newRecordsHint.left : followSwitch.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        leftPadding: 8
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        textFormat: Text.PlainText
        text: statusLine.log ? statusLine.log.statusText : ""
        font.family: GlobalFont.name
        font.pixelSize: 13
        color: "#ffffff"
    }

    NewRecordsHint {
        id: newRecordsHint

        count: statusLine.newRecords
        height: parent.height - 4
        anchors.right: followSwitch.left
        anchors.verticalCenter: parent.verticalCenter
        onClicked: statusLine.newRecordsClicked()
    }

    // Follows the log's files as they grow, as "tail -f" does; F in the list does the same.
    Text {
        id: followSwitch

        objectName: "followSwitch"
        visible: statusLine.log !== null && statusLine.log.model !== null
        anchors.right: confirmation.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        leftPadding: 12
        rightPadding: 12
        verticalAlignment: Text.AlignVCenter
        textFormat: Text.PlainText
        text: statusLine.log && statusLine.log.following ? qsTr("Stop following") : qsTr("Follow (F)")
        font.family: GlobalFont.name
        font.pixelSize: 13
        font.underline: followArea.containsMouse
        color: "#fed104"

        MouseArea {
            id: followArea

            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: statusLine.followClicked()
        }
    }

    Text {
        id: confirmation

        objectName: "statusConfirmation"
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        rightPadding: 48
        verticalAlignment: Text.AlignVCenter
        textFormat: Text.PlainText
        font.family: GlobalFont.name
        font.pixelSize: 13
        color: "#8fd18f"
    }

    Timer {
        id: confirmationTimer

        interval: 4000
        onTriggered: confirmation.text = ""
    }
}
