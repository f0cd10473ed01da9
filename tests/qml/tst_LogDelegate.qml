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

        // The fixed columns keep their widths; as the row narrows, the module column and then
        // the thread column give way before the message falls below 40 % of the row.
        function test_messageKeepsItsShareOfNarrowRows_data() {
            return [
                { tag: "wide", width: 1000, message: 550, module: 170, thread: 60 },
                { tag: "very wide", width: 1900, message: 1450, module: 170, thread: 60 },
                { tag: "module gives way", width: 575, message: 230, module: 65, thread: 60 },
                { tag: "then thread", width: 425, message: 170, module: 0, thread: 35 },
                { tag: "no module or thread left", width: 300, message: 80, module: 0, thread: 0 },
                { tag: "wide numbers, scroll bar room", width: 1000, lineWidth: 44, inset: 24,
                  message: 512, module: 170, thread: 60 }
            ]
        }

        function test_messageKeepsItsShareOfNarrowRows(data) {
            row.width = data.width
            row.lineWidth = data.lineWidth || 30
            row.rightInset = data.inset || 0
            waitForRendering(row)
            compare(column("lineText").width, row.lineWidth)
            compare(column("dateTimeText").width, 170)
            compare(column("messageText").width, data.message)
            compare(column("moduleText").width, data.module)
            compare(column("threadText").width, data.thread)
            compare(column("dateTimeText").x, row.lineWidth + 5)
            if (data.thread > 0)
                compare(column("threadText").x + data.thread, data.width - row.rightInset)
            row.lineWidth = 30
            row.rightInset = 0
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

        // Nothing of a long module name shows outside its column: the thread column and the
        // rest of the row keep the background.
        function test_longMessageElidedLongModuleClipped() {
            row.message = "word ".repeat(400)
            row.moduleName = "M".repeat(200)
            row.threadID = ""
            waitForRendering(row)
            verify(column("messageText").truncated)
            verify(!column("moduleText").truncated)
            compare(column("moduleText").width, 170)
            const image = grabImage(row)
            const module = column("moduleText")
            const moduleEnd = module.x + module.width
            let inside = 0
            for (let y = 2; y < row.height - 2; ++y) {
                for (let x = module.x; x < moduleEnd; ++x)
                    inside += image.pixel(x, y).r > 0.6 ? 1 : 0
                for (let x = Math.ceil(moduleEnd); x < row.width; ++x)
                    verify(Qt.colorEqual(image.pixel(x, y), row.color), "text at " + x + "," + y)
            }
            verify(inside > 100, "module text drawn: " + inside)
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
