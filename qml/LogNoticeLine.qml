import QtQuick
import "./fonts"

// The line above the record list: what the current tab's log has to say (why it could not
// be opened, that it has no records, that a filter or a search could not run), or, while no
// tab is open, what the command line asked for that could not be done. Hidden when empty.
Rectangle {
    id: noticeLine

    // The current tab's log, or null.
    property var log: null
    property bool hasTabs: false

    height: visible ? noticeText.implicitHeight : 0
    visible: noticeText.text !== ""
    color: kestruneCore.getStyle("logStatusBackgroundColor", "#34393d")

    Text {
        id: noticeText

        objectName: "logStatus"
        width: parent.width
        padding: 8
        wrapMode: Text.Wrap
        textFormat: Text.PlainText
        text: noticeLine.log ? noticeLine.log.notice
                             : noticeLine.hasTabs ? "" : kestruneCore.startNotice()
        font.family: GlobalFont.name
        font.pixelSize: 14
        color: kestruneCore.getStyle("logStatusColor", "#ffd27f")
    }
}
