import QtQuick
import QtQuick.Controls
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 100
    height: 100

    LogDetailWindow {
        id: window

        dateTime: "2023/02/28 12:34:56.789"
        logType: "Error"
        threadID: "0x1a2b"
        moduleName: "Network"
        cppFileName: "socket.cpp"
        cppLine: "120"
        message: "Connection lost"
    }

    // Reads the clipboard back.
    TextEdit {
        id: pasteTarget
    }

    TestCase {
        name: "LogDetailWindow"
        when: windowShown

        function rows() {
            return findChild(window.contentItem, "fields").children
        }

        function edit(i) {
            return findChild(rows()[i], "edit")
        }

        function init() {
            window.width = 800
            window.height = 440
            window.logType = "Error"
            window.show()
            tryVerify(() => window.visible)
        }

        // A message of megabytes is shown in part, with a line that says so, beside what the
        // core says of the record.
        function test_hugeMessageIsShownInPart() {
            const whole = "x".repeat(window.mostMessageCharacters + 5)
            window.showRecord({"dateTimeRole": "d", "logTypeRole": "Info", "threadIDRole": "1",
                               "moduleNameRole": "m", "cppFileNameRole": "f", "cppLineRole": "2",
                               "messageRole": whole}, "Its block was never closed.")
            compare(edit(6).text.length, window.mostMessageCharacters)
            const notice = findChild(window.contentItem, "recordNotice")
            verify(notice.visible)
            verify(notice.text.startsWith("Its block was never closed.\nThis message has "
                                          + window.grouped(window.mostMessageCharacters + 5) + " characters"))
            window.showRecord({"dateTimeRole": "d", "logTypeRole": "Info", "threadIDRole": "1",
                               "moduleNameRole": "m", "cppFileNameRole": "f", "cppLineRole": "2",
                               "messageRole": "short"}, "")
            compare(edit(6).text, "short")
            verify(!notice.visible)
            // Cut by the core already (recordPreviewAt): the notice tells the record's size.
            window.showRecord({"dateTimeRole": "d", "logTypeRole": "Info", "threadIDRole": "1",
                               "moduleNameRole": "m", "cppFileNameRole": "f", "cppLineRole": "2",
                               "messageRole": "start", "messageCut": true,
                               "recordBytes": 60000123}, "")
            compare(edit(6).text, "start")
            verify(notice.text.startsWith("This record takes 60,000,123 bytes"))
            window.showRecord({"dateTimeRole": "2023/02/28 12:34:56.789", "logTypeRole": "Error",
                               "threadIDRole": "0x1a2b", "moduleNameRole": "Network",
                               "cppFileNameRole": "socket.cpp", "cppLineRole": "120",
                               "messageRole": "Connection lost"}, "")
        }

        function test_fieldsInOrder() {
            const labels = ["Date time", "Type", "Thread", "Module", "File", "Line", "Log"]
            const values = ["2023/02/28 12:34:56.789", "Error", "0x1a2b", "Network",
                            "socket.cpp", "120", "Connection lost"]
            compare(rows().length, 7)
            for (let i = 0; i < 7; ++i) {
                compare(rows()[i].labelName, labels[i])
                compare(edit(i).text, values[i])
            }
            compare(edit(0).verticalAlignment, TextEdit.AlignVCenter)
            compare(edit(6).verticalAlignment, TextEdit.AlignTop)
        }

        function test_rowsAddUpToWindowAndKeepHeightsWhenResized() {
            const last = rows()[6]
            compare(rows()[0].y, 0)
            compare(last.height, 200)
            compare(last.mapToItem(window.contentItem, 0, 0).y + last.height, 440 - 15)
            window.width = 1000
            window.height = 600
            tryCompare(rows()[0], "width", 1000 - 15)
            compare(rows()[0].height, 30)
            compare(last.height, 200)
            compare(last.mapToItem(window.contentItem, 0, 0).y + last.height, 440 - 15)
            const bar = findChild(rows()[0], "scroller").ScrollBar.vertical
            verify(bar.width > 0)
            compare(edit(0).width + bar.width, 1000 - 15 - 85 - 4)
        }

        function test_markupShownAsWritten_data() {
            return [
                { tag: "tags", text: "Page <title>Login</title> loaded" },
                { tag: "entities", text: "x &lt; y &amp; z" },
                { tag: "image", text: "<img src=\"http://127.0.0.1:9/p.png\">" },
                { tag: "10,000-fold list", text: "<ul><li>".repeat(10000) }
            ]
        }

        function test_markupShownAsWritten(data) {
            window.message = data.text
            compare(edit(6).text, data.text)
            compare(edit(6).length, data.text.length)
            window.message = "Connection lost"
        }

        function test_fieldsAreReadOnlyButCopyable() {
            const typeField = edit(1)
            verify(typeField.readOnly)
            verify(typeField.selectByMouse && typeField.selectByKeyboard)
            typeField.selectAll()
            typeField.copy()
            pasteTarget.text = ""
            pasteTarget.paste()
            compare(pasteTarget.text, "Error")
            window.logType = "Info"
            compare(typeField.text, "Info")
        }

        function test_longMessageKeepsItsLinesAndScrolls() {
            const lines = []
            for (let i = 0; i < 40; ++i)
                lines.push("    at frame " + i + " (module.cpp:" + (100 + i) + ")")
            window.message = lines.join("\n")
            const field = edit(6)
            compare(field.text, window.message)
            compare(field.lineCount, 40)
            const scroller = findChild(rows()[6], "scroller")
            verify(scroller.clip)
            verify(scroller.contentHeight > scroller.height)
            compare(scroller.ScrollBar.vertical.policy, ScrollBar.AlwaysOn)
            // Wrapped words end before the scroll bar, not under it.
            window.message = "wrapped ".repeat(400)
            verify(field.lineCount > 10)
            const bar = scroller.ScrollBar.vertical
            verify(bar.width > 0)
            verify(field.width + bar.width <= scroller.width, field.width + " " + bar.width)
            compare(bar.x, scroller.width - bar.width)
            window.message = lines.join("\n")
            scroller.ScrollBar.vertical.position = 1 - scroller.ScrollBar.vertical.size
            tryVerify(() => scroller.contentY + scroller.height >= scroller.contentHeight - 1)
            // The next record starts at its first line, without a scroll bar when it fits.
            window.message = "short"
            compare(scroller.contentY, 0)
            compare(scroller.ScrollBar.vertical.policy, ScrollBar.AlwaysOff)
        }
    }
}
