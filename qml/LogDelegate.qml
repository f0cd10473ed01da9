import QtQuick
import QtQuick.Layouts
import "./fonts"

// One record as a row of the record list: number, date and time, message, module and thread.
Rectangle {
    id: root

    property string dateTime: ""
    property string message: ""
    property string moduleName: ""
    property string threadID: ""
    property string logType: ""
    property int line: 0
    property bool selected: false
    readonly property bool isError: logType === "Error"

    // Read once when the row is created; rows do not follow later changes of the style file.
    readonly property color messageColor: kestruneCore.getStyle("logMessageColor", "#ffffff")
    readonly property color errorMessageColor: kestruneCore.getStyle("logErrorMessageColor",
                                                                     "#ff5555")

    signal clicked
    signal doubleClicked

    width: 200
    height: 50
    color: kestruneCore.getStyle("textBackgroundColor", "#2b3033")
    border.width: selected ? 1 : 0
    border.color: "#3498db"

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton
        onClicked: root.clicked()
        onDoubleClicked: root.doubleClicked()
    }

    RowLayout {
        anchors.fill: parent
        spacing: 5

        Text {
            Layout.preferredWidth: 30
            Layout.fillHeight: true
            text: root.line
            textFormat: Text.PlainText
            font.family: GlobalFont.name
            font.pixelSize: 10
            font.bold: true
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            color: kestruneCore.getStyle("logLineNumberColor", "#ffffff")
        }

        Text {
            Layout.preferredWidth: 170
            Layout.fillHeight: true
            text: root.dateTime
            textFormat: Text.PlainText
            font.family: GlobalFont.name
            font.pixelSize: 14
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            color: kestruneCore.getStyle("logDateTimeColor", "#ffffff")
        }

        Text {
            Layout.preferredWidth: 750
            Layout.fillWidth: true
            Layout.fillHeight: true
            text: root.message
            textFormat: Text.PlainText
            font.family: LogFont.name
            font.pixelSize: kestruneCore.getStyle("logPixelSize", 16)
            font.bold: root.isError
            horizontalAlignment: Text.AlignLeft
            verticalAlignment: Text.AlignVCenter
            color: root.isError ? root.errorMessageColor : root.messageColor
            elide: Text.ElideRight
        }

        Text {
            Layout.preferredWidth: 170
            Layout.fillHeight: true
            text: root.moduleName
            textFormat: Text.PlainText
            font.family: GlobalFont.name
            font.pixelSize: 14
            horizontalAlignment: Text.AlignLeft
            verticalAlignment: Text.AlignVCenter
            color: kestruneCore.getStyle("logModuleColor", "#ffffff")
        }

        Text {
            Layout.preferredWidth: 60
            Layout.fillHeight: true
            text: root.threadID
            textFormat: Text.PlainText
            font.family: GlobalFont.name
            font.pixelSize: 13
            horizontalAlignment: Text.AlignLeft
            verticalAlignment: Text.AlignVCenter
            color: kestruneCore.getStyle("logThreadColor", "#ffffff")
        }
    }
}
