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

    // Shows the window with the fields of one record, as recordAt gives them.
    function showRecord(record) {
        show();
        dateTime = record.dateTimeRole;
        logType = record.logTypeRole;
        threadID = record.threadIDRole;
        moduleName = record.moduleNameRole;
        cppFileName = record.cppFileNameRole;
        cppLine = record.cppLineRole;
        message = record.messageRole;
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
    }
}
