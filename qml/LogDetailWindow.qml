import QtQuick
import QtQuick.Window

// A separate window with every field of one record.
Window {
    id: root

    property string dateTime: ""
    property string logType: ""
    property string threadID: ""
    property string moduleName: ""
    property string cppFileName: ""
    property string cppLine: ""
    property string message: ""
    // What the window says of the record beside its fields, one line each.
    property string notice: ""
    // A message is laid out up to this many characters, all of them when the window opens:
    // 100,000 held the window up for 140 ms, one of megabytes for as long as its layout takes.
    readonly property int mostMessageCharacters: 20000

    // Shows the window with the fields of one record, as recordAt or recordPreviewAt give
    // them, and what the core says of it (recordNotice).
    function showRecord(record, recordNotice) {
        show();
        dateTime = record.dateTimeRole;
        logType = record.logTypeRole;
        threadID = record.threadIDRole;
        moduleName = record.moduleNameRole;
        cppFileName = record.cppFileNameRole;
        cppLine = record.cppLineRole;
        const whole = record.messageRole;
        message = whole.length > mostMessageCharacters ? whole.substring(0, mostMessageCharacters) : whole;
        const lines = recordNotice ? [recordNotice] : [];
        if (record.messageCut)
            lines.push(qsTr("This record takes %1 bytes; the first %2 characters of its message are shown. \"Copy message\" copies it all.").arg(grouped(record.recordBytes)).arg(grouped(mostMessageCharacters)));
        else if (whole.length > mostMessageCharacters)
            lines.push(qsTr("This message has %1 characters; the first %2 are shown. \"Copy message\" copies it all.").arg(grouped(whole.length)).arg(grouped(mostMessageCharacters)));
        notice = lines.join("\n");
    }

    function grouped(number) {
        return Number(number).toLocaleString(Qt.locale("en_US"), "f", 0);
    }

    width: 800
    height: 440

    Rectangle {
        anchors.fill: parent
        color: "#34393d"
        // Reaches here from the focused field, which leaves Escape alone.
        Keys.onEscapePressed: root.close()

        Column {
            objectName: "fields"
            anchors.fill: parent
            anchors.topMargin: 15
            anchors.bottomMargin: 15
            anchors.rightMargin: 15
            anchors.leftMargin: 0
            spacing: 5

            LogDetailRow {
                width: parent.width
                height: 30
                labelName: qsTr("Date time")
                content: root.dateTime
            }

            LogDetailRow {
                width: parent.width
                height: 30
                labelName: qsTr("Type")
                content: root.logType
            }

            LogDetailRow {
                width: parent.width
                height: 30
                labelName: qsTr("Thread")
                content: root.threadID
            }

            LogDetailRow {
                width: parent.width
                height: 30
                labelName: qsTr("Module")
                content: root.moduleName
            }

            LogDetailRow {
                width: parent.width
                height: 30
                labelName: qsTr("File")
                content: root.cppFileName
            }

            LogDetailRow {
                width: parent.width
                height: 30
                labelName: qsTr("Line")
                content: root.cppLine
            }

            LogDetailRow {
                width: parent.width
                height: 200
                labelName: qsTr("Log")
                content: root.message
                alignVCenter: false
            }
        }

        Text {
            objectName: "recordNotice"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 15
            visible: text !== ""
            text: root.notice
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            color: "#ffffff"
            font.pixelSize: 13
        }
    }
}
