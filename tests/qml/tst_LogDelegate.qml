import QtQuick
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 1200
    height: 200

    LogDelegate {
        id: row

        width: 1000
        height: 30
        line: 7
        dateTime: "2023/02/28 12:34:56.789"
        message: "Connection lost"
        moduleName: "Network"
        threadID: "0x1a2b"
        logType: "Info"
    }

    TextMetrics {
        id: metrics
    }

    SignalSpy {
        id: clickSpy

        target: row
        signalName: "clicked"
    }

    SignalSpy {
        id: doubleClickSpy

        target: row
        signalName: "doubleClicked"
    }

    TestCase {
        name: "LogDelegate"
        when: windowShown

        function column(name) {
            return findChild(row, name)
        }

        function init() {
            row.width = 1000
            row.logType = "Info"
            row.selected = false
            row.message = "Connection lost"
            row.moduleName = "Network"
            row.dateTime = "2023/02/28 12:34:56.789"
            row.threadID = "0x1a2b"
            clickSpy.clear()
            doubleClickSpy.clear()
        }

        function test_onlyMessageColumnFollowsWidth_data() {
            return [
                { tag: "wide", width: 1000, message: 550 },
                { tag: "exactly the fixed columns", width: 450, message: 0 },
                { tag: "narrow", width: 300, message: 0 },
                { tag: "very wide", width: 1900, message: 1450 }
            ]
        }

        function test_onlyMessageColumnFollowsWidth(data) {
            row.width = data.width
            waitForRendering(row)
            compare(column("lineText").width, 30)
            compare(column("dateTimeText").width, 170)
            compare(column("messageText").width, data.message)
            compare(column("moduleText").width, 170)
            compare(column("threadText").width, 60)
            if (data.width >= 450)
                compare(column("threadText").x + 60, data.width)
        }

        function test_errorRowsOnlyForExactType_data() {
            return [
                { tag: "Error", type: "Error", error: true },
                { tag: "error", type: "error", error: false },
                { tag: "ERROR", type: "ERROR", error: false },
                { tag: "Fatal", type: "Fatal", error: false },
                { tag: "empty", type: "", error: false },
                { tag: "Error with blank", type: "Error ", error: false }
            ]
        }

        function test_errorRowsOnlyForExactType(data) {
            row.logType = data.type
            compare(row.isError, data.error)
            compare(column("messageText").font.bold, data.error)
            // No style file: the message keeps its default size.
            compare(column("messageText").font.pixelSize, 16)
            compare(column("messageText").color, data.error ? "#ff5555" : "#ffffff")
            verify(!column("dateTimeText").font.bold)
            compare(column("moduleText").color, "#ffffff")
        }

        // Log text is laid out character for character: nothing is interpreted, fetched or
        // built from it, however much markup it holds.
        function test_logTextShownAsWritten_data() {
            return [
                { tag: "tags", text: "Page <title>Login</title> loaded" },
                { tag: "entities", text: "x &lt; y &amp;&amp; z &#65;" },
                { tag: "image", text: "<img src=\"http://127.0.0.1:9/p.png\" width=\"300\">" },
                { tag: "10,000-fold list", text: "<ul><li>".repeat(10000) }
            ]
        }

        function test_logTextShownAsWritten(data) {
            row.dateTime = data.text
            row.message = data.text
            row.moduleName = data.text
            row.threadID = data.text
            waitForRendering(row)
            for (const name of ["dateTimeText", "messageText", "moduleText", "threadText"]) {
                metrics.font = column(name).font
                metrics.text = data.text
                compare(column(name).lineCount, 1)
                fuzzyCompare(column(name).implicitWidth, metrics.advanceWidth,
                             1 + data.text.length / 1000)
            }
        }

        function test_selectedRowHasBlueBorder() {
            compare(row.border.width, 0)
            row.selected = true
            compare(row.border.width, 1)
            compare(row.border.color, "#3498db")
        }

        function test_longMessageElidedLongModuleNot() {
            row.message = "word ".repeat(400)
            row.moduleName = "AVeryLongModuleNameThatDoesNotFitIntoItsColumnAtAll"
            waitForRendering(row)
            verify(column("messageText").truncated)
            verify(!column("moduleText").truncated)
            verify(column("moduleText").implicitWidth > 170)
            compare(column("moduleText").width, 170)
        }

        function test_clicksOfLeftButtonOnly() {
            mouseClick(row, 500, 15)
            compare(clickSpy.count, 1)
            mouseDoubleClickSequence(row, 500, 15)
            compare(doubleClickSpy.count, 1)
            compare(clickSpy.count, 2)
            mouseClick(row, 500, 15, Qt.RightButton)
            mouseDoubleClickSequence(row, 500, 15, Qt.RightButton)
            compare(clickSpy.count, 2)
            compare(doubleClickSpy.count, 1)
        }
    }
}
