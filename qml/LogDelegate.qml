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
    // Wide enough for the largest number of the log, which the list measures.
    property real lineWidth: 30
    // Room kept free at the right edge, where the list has its scroll bar.
    property real rightInset: 0
    property bool selected: false
    // Text found by the last search, marked wherever it shows in the row; empty for none.
    property string matchText: ""
    // The row that the search found: when the match lies in the part of the message cut off
    // by the ellipsis, the message shows from a little before it.
    property bool showsMatch: false
    readonly property int messageMatchAt: showsMatch && matchText !== ""
                                          ? message.toLowerCase().indexOf(matchText.toLowerCase())
                                          : -1
    readonly property string shownMessage: messageMatchAt > 0 && throughMatch.advanceWidth
                                           > messageText.width
                                           ? "\u2026" + message.substring(
                                                 Math.max(0, messageMatchAt - 20))
                                           : message
    readonly property bool isError: logType === "Error"
    // The message keeps this share of the row; the module column gives way to it first, then
    // the thread column.
    readonly property real messageShare: 0.4
    readonly property real fullSideWidth: 170 + 60
    readonly property real sideWidth: Math.max(0, Math.min(fullSideWidth, width - rightInset
                                                           - lineWidth - 170 - 20
                                                           - messageShare * width))

    // Read once when the row is created; rows do not follow later changes of the style file.
    readonly property color messageColor: kestruneCore.getStyle("logMessageColor", "#ffffff")
    readonly property color errorMessageColor: kestruneCore.getStyle("logErrorMessageColor",
                                                                     "#ff5555")

    signal clicked
    signal doubleClicked
    // A click with Shift held, which extends the selection instead.
    signal shiftClicked
    // A right click: the row's context menu.
    signal menuRequested

    width: 200
    height: 50
    color: kestruneCore.getStyle("textBackgroundColor", "#2b3033")
    border.width: selected ? 1 : 0
    border.color: "#3498db"

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        onClicked: mouse => {
            if (mouse.button === Qt.RightButton)
                root.menuRequested();
            else if (mouse.modifiers & Qt.ShiftModifier)
                root.shiftClicked();
            else
                root.clicked();
        }
        onDoubleClicked: mouse => {
            if (mouse.button === Qt.LeftButton)
                root.doubleClicked();
        }
    }

    RowLayout {
        anchors.fill: parent
        anchors.rightMargin: root.rightInset
        spacing: 5

        Text {
            objectName: "lineText"
            Layout.preferredWidth: root.lineWidth
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
            id: dateTimeText

            objectName: "dateTimeText"
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
            id: messageText

            objectName: "messageText"
            Layout.preferredWidth: 750
            Layout.fillWidth: true
            Layout.fillHeight: true
            text: root.shownMessage
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
            id: moduleText

            objectName: "moduleText"
            Layout.preferredWidth: Math.max(0, root.sideWidth - 60)
            Layout.fillHeight: true
            text: root.moduleName
            textFormat: Text.PlainText
            font.family: GlobalFont.name
            font.pixelSize: 14
            horizontalAlignment: Text.AlignLeft
            verticalAlignment: Text.AlignVCenter
            color: kestruneCore.getStyle("logModuleColor", "#ffffff")
            // Cut at the column's edge, not shortened: only rows that need it pay for a clip.
            clip: implicitWidth > width
        }

        Text {
            id: threadText

            objectName: "threadText"
            Layout.preferredWidth: Math.min(60, root.sideWidth)
            Layout.fillHeight: true
            text: root.threadID
            textFormat: Text.PlainText
            font.family: GlobalFont.name
            font.pixelSize: 13
            horizontalAlignment: Text.AlignLeft
            verticalAlignment: Text.AlignVCenter
            color: kestruneCore.getStyle("logThreadColor", "#ffffff")
            clip: implicitWidth > width
        }
    }

    // The message up to the end of the match in the found row, to tell whether it shows.
    TextMetrics {
        id: throughMatch

        font: messageText.font
        text: root.messageMatchAt < 0 ? "" : root.message.substring(
                                            0, root.messageMatchAt + root.matchText.length)
    }

    // Made only while a search has found something, so that rows stay cheap otherwise.
    Loader {
        objectName: "matchMarks"
        anchors.fill: parent
        active: root.matchText !== ""

        sourceComponent: Item {
            MatchHighlight {
                target: dateTimeText
                needle: root.matchText
            }

            MatchHighlight {
                target: messageText
                needle: root.matchText
            }

            MatchHighlight {
                target: moduleText
                needle: root.matchText
            }

            MatchHighlight {
                target: threadText
                needle: root.matchText
            }
        }
    }
}
