import QtQuick
import QtQuick.Controls
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 1200
    height: 700

    property string folderA
    property string folderB
    property string folderC
    property FileView view

    Component {
        id: viewComponent

        FileView {
            anchors.fill: parent
        }
    }

    TextInput {
        id: outside

        width: 10
        height: 10
    }

    // The loads that the current tab's log reports.
    SignalSpy {
        id: loads

        signalName: "loadFinished"
    }

    SignalSpy {
        id: clears

        signalName: "clearFilterRequested"
    }

    // Reads the clipboard back.
    TextEdit {
        id: pasteTarget

        width: 10
        height: 10
    }

    TestCase {
        id: testCase

        name: "FileView"
        when: windowShown

        // Records one second apart from 2023/02/28 00:00:00 on; "needle" in records 50
        // and 150, record 120 of type "Error".
        function logText(count, firstSecond, label) {
            let text = ""
            for (let i = 0; i < count; ++i)
                text += recordText(i, firstSecond, label, "[01]")
            return text
        }

        function recordText(i, firstSecond, label, mark) {
            const s = firstSecond + i
            const time = "2023/02/28 " + String(Math.floor(s / 3600)).padStart(2, "0") + ":"
                       + String(Math.floor(s / 60) % 60).padStart(2, "0") + ":"
                       + String(s % 60).padStart(2, "0") + ".000"
            const type = i === 120 ? "Error" : "Info"
            const message = label + " " + i + (i === 50 || i === 150 ? " needle" : "")
            return "<HEAD>" + mark + time + " <LN>" + type + "</LN> <TID>" + (1000 + i)
                    + "</TID> <MNAME>Module" + (i % 7) + "</MNAME> <FILE>file" + i
                    + ".cpp</FILE> <LINE>" + (10 + i) + "</LINE>\n<CONT>" + message
                    + "</CONT>\n"
        }

        // A record of folder A as a copy writes it: the four unread characters are not kept.
        function copiedRecord(i) {
            return recordText(i, 0, "alpha", "[00]")
        }

        function clipboardText() {
            pasteTarget.text = ""
            pasteTarget.paste()
            return pasteTarget.text
        }

        // Copied text reaches the clipboard through the event loop.
        function compareClipboard(expected) {
            tryVerify(() => clipboardText() === expected)
            compare(clipboardText(), expected)
        }

        function selectedRows() {
            const rows = []
            for (let i = 0; i < logView().count; ++i) {
                const item = logView().itemAtIndex(i)
                if (item && item.selected)
                    rows.push(i)
            }
            return rows
        }

        function initTestCase() {
            testSupport.writeFile("a/Server_1.log", logText(200, 0, "alpha"))
            testSupport.writeFile("b/Server_1.log", logText(100, 0, "beta"))
            testSupport.writeFile("c/Client_1.log", logText(300, 0, "gamma"))
            folderA = testSupport.path("a")
            folderB = testSupport.path("b")
            folderC = testSupport.path("c")
        }

        function init() {
            view = createTemporaryObject(viewComponent, root)
            view.forceActiveFocus()
        }

        function cleanup() {
            // Detach before closing, as the view itself does.
            logView().model = null
            for (const key of [[folderA, "Server"], [folderB, "Server"], [folderC, "Client"],
                               [testSupport.path("d"), "Reload"], [testSupport.path("e"), "Empty"],
                               [testSupport.path("f"), "Gone"], [testSupport.path("h"), "Rotated"],
                               [testSupport.path("follow"), "Follow"]])
                kestruneCore.closeLog(key[0], key[1])
            kestruneCore.containsOnly([])
        }

        function tabs() {
            return findChild(view, "tabListView")
        }

        function logView() {
            return findChild(view, "logView")
        }

        function panel() {
            return findChild(view, "findNextPanel")
        }

        function findField() {
            return findChild(panel(), "findTextField")
        }

        function topRow() {
            return logView().indexAt(10, logView().contentY)
        }

        function centreRow() {
            return logView().indexAt(10, logView().contentY + logView().height / 2)
        }

        function tab(index) {
            return tabs().itemAtIndex(index)
        }

        function clickTab(index) {
            mouseClick(tab(index), 40, 25)
        }

        function closeTab(index) {
            const item = tab(index)
            mouseClick(item, item.width - 10, 10)
        }

        function scrollTo(row) {
            logView().positionViewAtIndex(row, ListView.Beginning)
            compare(topRow(), row)
        }

        function clickRow(index) {
            logView().positionViewAtIndex(index, ListView.Center)
            const item = logView().itemAtIndex(index)
            verify(item)
            mouseClick(item, 300, 15)
        }

        function find(text) {
            findField().text = text
            panel().findNext(text)
            searched()
        }

        // Waits for the text search that runs in the background to show what it met.
        function searched() {
            tryVerify(() => panel().message !== "Searching\u2026")
        }

        // Waits until the current tab's log has no load running, as after its loadFinished,
        // and a text search would not wait for its search texts.
        function waitForLoad() {
            const log = view.currentLog
            verify(log)
            tryVerify(() => log.state !== "loading", 20000)
            if (log.model)
                tryVerify(() => log.searchTextsReady, 20000)
        }

        // Opens a log in a tab, or shows its tab, and waits until it can be searched.
        function open(folder, name) {
            view.openFile(folder, name)
            waitForLoad()
        }

        // Gives the logs a filter as the main panel does, and waits until the current one
        // shows it.
        function filterAll(texts) {
            view.logFilter = {
                "texts": texts,
                "containsAll": false,
                "onlyErrors": false
            }
            view.filterInBackground()
            tryVerify(() => !view.filterPending, 20000)
        }

        function test_openFileAddsOneTabPerKey() {
            // The tab is there at once, with its progress, before any row.
            view.openFile(folderA, "Server")
            compare(tabs().count, 1)
            compare(view.currentLog.state, "loading")
            verify(tab(0).progress >= 0)
            compare(logView().count, 0)
            verify(findChild(view, "recordStatus").text.startsWith("loading "))
            const placeholder = findChild(view, "recordListPlaceholder")
            verify(placeholder.visible)
            verify(findChild(placeholder, "placeholderText").text.startsWith("Loading Server… "))
            waitForLoad()
            verify(!placeholder.visible)
            compare(tab(0).progress, -1)
            compare(tabs().count, 1)
            compare(tabs().currentIndex, 0)
            compare(logView().count, 200)
            compare(topRow(), 0)
            compare(tab(0).text, "Server")
            verify(tab(0).isCurrentIndex)

            open(folderB, "Server")
            compare(tabs().count, 2)
            compare(tabs().currentIndex, 1)
            compare(tab(1).text, "Server")
            compare(logView().count, 100)

            open(folderA, "Server")
            compare(tabs().count, 2)
            compare(tabs().currentIndex, 0)
            compare(logView().count, 200)
            verify(tab(0).isCurrentIndex)
            verify(!tab(1).isCurrentIndex)
        }

        function test_eachTabKeepsItsTopRow() {
            open(folderA, "Server")
            scrollTo(80)
            open(folderC, "Client")
            compare(topRow(), 0)
            scrollTo(33)
            clickTab(0)
            compare(tabs().currentIndex, 0)
            compare(logView().count, 200)
            compare(topRow(), 80)
            open(folderC, "Client")
            compare(topRow(), 33)
            // Clicking the current tab binds the same model again and moves nothing.
            logView().currentIndex = 40
            scrollTo(20)
            clickTab(1)
            compare(topRow(), 20)
            compare(logView().currentIndex, 40)
        }

        function test_closingAnotherTabMakesFirstCurrent() {
            open(folderA, "Server")
            scrollTo(10)
            open(folderB, "Server")
            open(folderC, "Client")
            scrollTo(40)
            closeTab(1)
            compare(tabs().count, 2)
            compare(tabs().currentIndex, 0)
            compare(logView().count, 200)
            compare(topRow(), 10)
            clickTab(1)
            compare(logView().count, 300)
            compare(topRow(), 40)
            // With the first tab current, it keeps its position as well.
            clickTab(0)
            scrollTo(70)
            closeTab(1)
            compare(tabs().count, 1)
            compare(topRow(), 70)
        }

        function test_closingCurrentTabKeepsOtherSavedRows() {
            open(folderA, "Server")
            scrollTo(30)
            open(folderB, "Server")
            scrollTo(5)
            open(folderC, "Client")
            scrollTo(60)
            clickTab(1)
            closeTab(1)
            compare(tabs().count, 2)
            compare(tabs().currentIndex, 0)
            compare(topRow(), 30)
            clickTab(1)
            compare(topRow(), 60)
            // The closed log is gone from the core; opening it again starts from row 0.
            compare(kestruneCore.findNext(folderB, "Server", 0, ""), -1)
            open(folderB, "Server")
            compare(tabs().count, 3)
            compare(topRow(), 0)
        }

        function test_closingOnlyTabEmptiesList() {
            open(folderA, "Server")
            closeTab(0)
            compare(tabs().count, 0)
            compare(logView().count, 0)
            verify(!logView().model)
        }

        function test_reloadReadsFilesAgainAndShowsEnd() {
            testSupport.remove("d")
            testSupport.writeFile("d/Reload_1.log", logText(50, 0, "first"))
            open(testSupport.path("d"), "Reload")
            compare(logView().count, 50)
            clickRow(3)
            testSupport.writeFile("d/Reload_2.log", logText(60, 1000, "second"))
            loads.clear()
            loads.target = view.currentLog
            keyClick(Qt.Key_F5)
            loads.wait(20000)
            compare(loads.signalArguments[0][0], true)
            compare(logView().count, 110)
            verify(logView().itemAtIndex(109))
            compare(logView().indexAt(10, logView().contentY + logView().height - 1), 109)
            // The row shown is current: Down stays there and Up goes on from it.
            compare(logView().currentIndex, 109)
            keyClick(Qt.Key_Down)
            compare(logView().currentIndex, 109)
            keyClick(Qt.Key_Up)
            compare(logView().currentIndex, 108)
            testSupport.writeFile("d/Reload_3.log", logText(5, 5000, "third"))
            keyClick(Qt.Key_F5, Qt.ShiftModifier)
            waitForLoad()
            compare(logView().count, 115)
            compare(logView().indexAt(10, logView().contentY + logView().height - 1), 114)
        }

        // F follows the log: at the end with no row selected the list stays on the newest
        // records; with a row selected it stays on that record and counts the new ones for
        // the hint, which leads back to the end.
        function test_followingKeepsTheEndOrTheSelectedRecord() {
            testSupport.remove("follow")
            testSupport.writeFile("follow/Follow_1.log", logText(40, 0, "old"))
            open(testSupport.path("follow"), "Follow")
            const log = view.currentLog
            logView().forceActiveFocus()
            keyClick(Qt.Key_F)
            verify(log.following)
            tryVerify(() => log.statusText.indexOf("following") >= 0)
            logView().currentIndex = -1
            logView().showEnd()
            verify(testSupport.appendFile("follow/Follow_1.log", logText(45, 100, "new").slice(
                                              logText(40, 100, "new").length)))
            tryCompare(logView(), "sourceCount", 45, 20000)
            verify(logView().isAtEnd())
            const hint = findChild(view, "newRecordsHint")
            verify(!hint.visible)

            clickRow(logView().count - 10)
            const selected = logView().first + logView().currentIndex
            const message = kestruneCore.recordAt(log.folder, log.name, selected).messageRole
            verify(testSupport.appendFile("follow/Follow_1.log", logText(50, 100, "new").slice(
                                              logText(45, 100, "new").length)))
            tryCompare(logView(), "sourceCount", 50, 20000)
            compare(logView().selection.selectedRow, selected)
            compare(kestruneCore.recordAt(log.folder, log.name, selected).messageRole, message)
            verify(hint.visible)
            compare(hint.text, "↓ 5 new")
            mouseClick(hint)
            verify(!hint.visible)
            verify(logView().isAtEnd())
            keyClick(Qt.Key_F)
            verify(!log.following)
        }

        function test_reloadDropsFiltersOfOldModel() {
            open(folderA, "Server")
            view.disconnectModel()
            kestruneCore.containsOnly(["needle"])
            view.connectModel()
            compare(logView().count, 2)
            logView().forceActiveFocus()
            keyClick(Qt.Key_F5)
            waitForLoad()
            compare(logView().count, 200)
        }

        function test_ctrlFTogglesPanelAndFocusesField() {
            verify(!panel().visible)
            keyClick(Qt.Key_F, Qt.ControlModifier)
            verify(panel().visible)
            verify(findField().activeFocus)
            keyClick(Qt.Key_F, Qt.ControlModifier)
            verify(!panel().visible)
            view.forceActiveFocus()
            keyClick(Qt.Key_F, Qt.ControlModifier | Qt.ShiftModifier)
            verify(panel().visible)
            mouseClick(findChild(view, "searchButton"))
            verify(!panel().visible)
            mouseClick(findChild(view, "searchButton"))
            verify(panel().visible)
            verify(findField().activeFocus)
            panel().closePanel()
            verify(!panel().visible)
        }

        // Typing and Enter after the panel hides move in the list, not in the hidden field.
        function test_hiddenPanelGivesKeysBackToList() {
            open(folderA, "Server")
            for (const hide of [() => keyClick(Qt.Key_F, Qt.ControlModifier),
                                () => panel().closePanel()]) {
                logView().currentIndex = 3
                keyClick(Qt.Key_F, Qt.ControlModifier)
                findField().text = ""
                for (const c of "needle")
                    keyClick(c)
                hide()
                verify(logView().activeFocus)
                keyClick("x")
                keyClick(Qt.Key_Down)
                compare(findField().text, "needle")
                compare(logView().currentIndex, 4)
            }
        }

        function test_keysOutsideViewDoNotReachIt() {
            outside.forceActiveFocus()
            keyClick(Qt.Key_F, Qt.ControlModifier)
            verify(!panel().visible)
        }

        function test_findTextSelectsCentresAndWraps() {
            open(folderA, "Server")
            logView().currentIndex = -1
            find("NEEDLE")
            compare(logView().currentIndex, 50)
            compare(centreRow(), 50)
            find("needle")
            compare(logView().currentIndex, 150)
            compare(centreRow(), 150)
            find("needle")
            compare(logView().currentIndex, 50)
            const contentY = logView().contentY
            find("no such text")
            compare(logView().currentIndex, -1)
            compare(logView().contentY, contentY)
        }

        function test_enterInFindFieldSearchesOn() {
            open(folderA, "Server")
            keyClick(Qt.Key_F, Qt.ControlModifier)
            for (const c of "needle")
                keyClick(c)
            keyClick(Qt.Key_Return)
            searched()
            compare(logView().currentIndex, 50)
            keyClick(Qt.Key_Return)
            searched()
            compare(logView().currentIndex, 150)
        }

        function test_findDateSelectsFirstLaterRecord() {
            open(folderC, "Client")
            // A record whose text begins with the typed text sorts after it.
            panel().findDate("2023/02/28 00:03:20")
            compare(logView().currentIndex, 200)
            compare(centreRow(), 200)
            panel().findDate("2023/02/28 00:01")
            compare(logView().currentIndex, 60)
            panel().findDate("2099")
            compare(logView().currentIndex, -1)
        }

        function test_findWithoutTabDoesNothing() {
            find("needle")
            panel().findDate("2023")
            keyClick(Qt.Key_F5)
            view.restoreLineNumber()
            compare(logView().count, 0)
            compare(logView().currentIndex, -1)
        }

        function test_filterChangeRestoresClickedRecord() {
            open(folderA, "Server")
            clickRow(150)
            compare(logView().currentIndex, 150)
            // A search moves the current row but not the remembered record.
            find("alpha 7")
            compare(logView().currentIndex, 7)

            view.disconnectModel()
            compare(logView().count, 0)
            kestruneCore.containsOnly(["needle"])
            view.connectModel()
            view.restoreLineNumber()
            compare(logView().count, 2)
            compare(logView().currentIndex, 1)

            view.disconnectModel()
            kestruneCore.containsOnly(["alpha 1"])
            view.connectModel()
            view.restoreLineNumber()
            compare(logView().currentIndex, logView().count - 50)
            compare(centreRow(), logView().currentIndex)

            view.disconnectModel()
            kestruneCore.containsOnly(["alpha 2"])
            view.connectModel()
            view.restoreLineNumber()
            compare(logView().currentIndex, -1)
            compare(topRow(), 0)

            // A row clicked under a filter stands for its record, not for its row.
            view.disconnectModel()
            kestruneCore.containsOnly(["needle"])
            view.connectModel()
            clickRow(1)
            view.disconnectModel()
            kestruneCore.containsOnly([])
            view.connectModel()
            view.restoreLineNumber()
            compare(logView().currentIndex, 150)
            compare(centreRow(), 150)
        }

        function test_rememberedRecordIsSharedByTabs() {
            open(folderA, "Server")
            clickRow(42)
            open(folderC, "Client")
            compare(logView().currentIndex, 0)
            view.disconnectModel()
            kestruneCore.containsAll(["gamma"])
            view.connectModel()
            view.restoreLineNumber()
            compare(logView().currentIndex, 42)
            kestruneCore.containsAll([])
        }

        function test_doubleClickFillsDetailWindow() {
            open(folderA, "Server")
            logView().positionViewAtIndex(120, ListView.Center)
            const row = logView().itemAtIndex(120)
            verify(row.isError)
            mouseDoubleClickSequence(row, 300, 15)
            const window = findChild(view, "detailLogWindow")
            verify(window.visible)
            compare(logView().currentIndex, 120)
            compare(window.dateTime, "2023/02/28 00:02:00.000")
            compare(window.logType, "Error")
            compare(window.threadID, "1120")
            compare(window.moduleName, "Module1")
            compare(window.cppFileName, "file120.cpp")
            compare(window.cppLine, "130")
            compare(window.message, "alpha 120")
            window.close()
            verify(!window.visible)
            mouseDoubleClickSequence(logView().itemAtIndex(121), 300, 15)
            verify(window.visible)
            compare(window.message, "alpha 121")
            window.close()
        }

        // Under a filter a row shows its record's number, and the number column widens to
        // the log's largest number instead of running into the date.
        function test_rowsShowTheirRecordNumbers() {
            open(folderA, "Server")
            view.disconnectModel()
            kestruneCore.containsOnly(["needle"])
            view.connectModel()
            const second = logView().itemAtIndex(1)
            compare(second.line, 150)
            compare(findChild(second, "lineText").text, "150")
            compare(second.message, "alpha 150 needle")
            verify(second.width === logView().width && second.height === 30)
            compare(findChild(second, "lineText").width, 30)

            // Numbered up to 4,999,999: seven digits.
            view.closeFileTab(0)
            logView().showRecords(testSupport.recordsInMemory(5000000))
            logView().moveTo(4999999, false)
            const last = logView().currentItem
            compare(last.line, 4999999)
            const number = findChild(last, "lineText")
            verify(number.width > 30 && number.width >= number.implicitWidth, number.width)
            verify(findChild(last, "dateTimeText").x >= number.x + number.width)
        }

        function test_tabSaysWhyItShowsNoRecords() {
            const status = findChild(view, "logStatus")
            testSupport.writeFile("e/Empty_1.log", "")
            open(testSupport.path("e"), "Empty")
            compare(logView().count, 0)
            verify(status.visible)
            compare(status.text, "No records in this log.")
            open(testSupport.path("f"), "Gone")
            compare(view.currentLog.state, "failed")
            compare(logView().count, 0)
            compare(status.text, "Could not open this log: none of its files were found.")
            // A log with records says nothing, and its rows start below the tab strip.
            open(folderA, "Server")
            verify(!status.visible)
            compare(logView().count, 200)
            compare(logView().y, findChild(view, "tabListView").height + 1)
            clickTab(0)
            verify(status.visible)
            compare(logView().y, findChild(view, "tabListView").height + 1 + status.height)
        }

        // The button keeps the current row, says what it does, and lies clear of the rows'
        // thread ids and of the scroll bar.
        function test_toBottomButtonKeepsCurrentRow() {
            open(folderC, "Client")
            logView().currentIndex = 3
            const button = findChild(view, "btnToBottom")
            mouseClick(button)
            compare(logView().indexAt(10, logView().contentY + logView().height - 1), 299)
            compare(logView().currentIndex, 3)
            mouseMove(button, 10, 10)
            tryVerify(() => button.ToolTip.visible)
            compare(button.ToolTip.text, "Show the last record")

            const bar = findChild(view, "recordScrollBar")
            const buttonBox = button.mapToItem(view, 0, 0, button.width, button.height)
            const barBox = bar.mapToItem(view, 0, 0, bar.width, bar.height)
            verify(barBox.y + barBox.height <= buttonBox.y, barBox + " " + buttonBox)
            for (const item of [logView().itemAtIndex(299), logView().itemAtIndex(290)]) {
                const thread = findChild(item, "threadText")
                const end = thread.mapToItem(view, thread.width, 0).x
                verify(end <= buttonBox.x && end <= barBox.x, end)
            }
        }

        // Page keys leave whole rows at the top of the list, which shows nothing above it.
        function test_pageKeysShowWholeRows() {
            open(folderA, "Server")
            verify(logView().clip)
            clickRow(0)
            for (const key of [Qt.Key_PageDown, Qt.Key_PageDown, Qt.Key_Down, Qt.Key_PageUp]) {
                keyClick(key)
                const top = logView().itemAtIndex(topRow())
                compare(top.y, logView().contentY, "after key " + key)
                const current = logView().currentItem
                verify(current.y >= logView().contentY
                       && current.y + 30 <= logView().contentY + logView().height)
            }
        }

        // With more tabs than the strip shows, the current tab is always scrolled into view;
        // the wheel scrolls the strip and its menu lists and shows every tab.
        function test_currentTabAlwaysInView() {
            const folders = []
            for (let i = 0; i < 12; ++i) {
                folders.push(testSupport.path("gone" + i))
                open(folders[i], "Gone")
            }
            const strip = tabs()
            verify(strip.contentWidth > strip.width)
            const inView = () => {
                const item = strip.currentItem
                return item && item.x >= strip.contentX
                        && item.x + item.width <= strip.contentX + strip.width
            }
            verify(inView())
            keyClick(Qt.Key_Tab, Qt.ControlModifier)
            compare(strip.currentIndex, 0)
            verify(inView())
            keyClick(Qt.Key_Tab, Qt.ControlModifier | Qt.ShiftModifier)
            compare(strip.currentIndex, 11)
            verify(inView())

            const wheelArea = findChild(view, "tabWheelArea")
            const before = strip.contentX
            mouseWheel(wheelArea, 50, 25, 0, 120)
            verify(strip.contentX < before)
            mouseWheel(wheelArea, 50, 25, 0, -120 * 20)
            compare(strip.contentX, strip.originX + strip.contentWidth - strip.width)

            mouseClick(findChild(view, "tabMenuButton"))
            const menu = findChild(view, "tabMenu")
            tryVerify(() => menu.opened)
            compare(menu.count, 12)
            verify(menu.itemAt(11).font.bold)
            menu.itemAt(2).triggered()
            compare(strip.currentIndex, 2)
            verify(inView())
            menu.close()
            for (const folder of folders)
                kestruneCore.closeLog(folder, "Gone")
        }

        // The tops of the row numbers drawn inside the list, those cut by its edges left out.
        function rowNumberTops(image) {
            const list = logView()
            const bottom = list.y + list.height - 1
            const tops = []
            let top = -1
            for (let y = list.y; y <= bottom; ++y) {
                let text = false
                for (let x = list.x + 2; x < list.x + 34 && !text; ++x)
                    text = image.pixel(x, y).r > 0.6
                if (text && top < 0)
                    top = y
                if (!text && top >= 0) {
                    if (top > list.y)
                        tops.push(top)
                    top = -1
                }
            }
            return tops
        }

        // Far into a list of millions, reached by the button, the scroll bar and a date jump
        // (whose row the core finds), rows lie 30 px apart and the selection frames its row.
        function test_exactRowsInMillionsOfRecords_data() {
            const rows = 5000000
            return [{
                    "tag": "end",
                    "go": () => mouseClick(findChild(view, "btnToBottom")),
                    "click": 1,
                    "selected": rows - 1
                }, {
                    "tag": "middle by the scroll bar",
                    "go": () => {
                        const bar = findChild(view, "recordScrollBar")
                        mousePress(bar, 5, 1)
                        mouseMove(bar, 5, bar.height / 2)
                        mouseRelease(bar, 5, bar.height / 2)
                    },
                    "click": 0.5,
                    "selected": rows / 2
                }, {
                    "tag": "End then Up keys",
                    "go": () => {
                        logView().forceActiveFocus()
                        keyClick(Qt.Key_End)
                        keyClick(Qt.Key_Up)
                    },
                    "selected": rows - 2
                }, {
                    "tag": "date near the end",
                    "go": () => logView().selectAndCentre(rows - 1234),
                    "selected": rows - 1234
                }]
        }

        function test_exactRowsInMillionsOfRecords(data) {
            logView().showRecords(testSupport.recordsInMemory(5000000))
            data.go()
            if (data.click !== undefined)
                mouseClick(logView(), 300, data.click * logView().height - 15)
            const row = logView().currentItem
            verify(row)
            // The scroll bar lands near its row, the others on it.
            const tolerance = data.click === 0.5 ? 250000 : 0
            verify(Math.abs(row.line - data.selected) <= tolerance, "selected " + row.line)

            const image = grabImage(view)
            const tops = rowNumberTops(image)
            verify(tops.length >= 15, tops)
            for (let i = 1; i < tops.length; ++i)
                compare(tops[i] - tops[i - 1], 30, "row numbers at " + tops)
            const top = row.mapToItem(view, 0, 0).y
            for (let y = top; y < top + 30; ++y)
                verify(Qt.colorEqual(image.pixel(view.width - 1, y), "#3498db"), "border at " + y)
            for (const y of [top, top + 29])
                verify(Qt.colorEqual(image.pixel(view.width / 2, y), "#3498db"), "border at " + y)
            verify(tops.some(y => y > top && y < top + 30), "number of row at " + top)
        }

        function test_listKeysMoveAndExtendTheSelection() {
            open(folderA, "Server")
            clickRow(3)
            const page = Math.floor(logView().height / 30)
            const keys = [[Qt.Key_Down, 0, 4], [Qt.Key_PageDown, 0, 4 + page],
                          [Qt.Key_PageUp, 0, 4], [Qt.Key_End, 0, 199], [Qt.Key_Down, 0, 199],
                          [Qt.Key_Home, 0, 0], [Qt.Key_Up, 0, 0],
                          [Qt.Key_End, Qt.ControlModifier, 199],
                          [Qt.Key_Home, Qt.ControlModifier, 0]]
            for (const [key, modifiers, row] of keys) {
                keyClick(key, modifiers)
                compare(logView().currentIndex, row)
                verify(logView().itemAtIndex(row))
            }
            compare(selectedRows(), [0])
            keyClick(Qt.Key_Down, Qt.ShiftModifier)
            keyClick(Qt.Key_Down, Qt.ShiftModifier)
            compare(selectedRows(), [0, 1, 2])
            mouseClick(logView().itemAtIndex(5), 300, 15, Qt.LeftButton, Qt.ShiftModifier)
            compare(logView().currentIndex, 5)
            compare(selectedRows(), [0, 1, 2, 3, 4, 5])
            keyClick(Qt.Key_Up)
            compare(selectedRows(), [4])
        }

        function test_copyRecordsInTheirOrderAndFromTheMenu() {
            open(folderA, "Server")
            clickRow(12)
            keyClick(Qt.Key_C, Qt.ControlModifier)
            compareClipboard(copiedRecord(12))
            keyClick(Qt.Key_Up, Qt.ShiftModifier)
            keyClick(Qt.Key_Up, Qt.ShiftModifier)
            keyClick(Qt.Key_C, Qt.ControlModifier)
            compareClipboard(copiedRecord(10) + copiedRecord(11) + copiedRecord(12))
            // The copied text opens as a log again.
            testSupport.writeFile("g/Pasted_1.log", clipboardText())
            compare(kestruneCore.openLog(testSupport.path("g"), "Pasted").rowCount(), 3)
            compare(kestruneCore.findNext(testSupport.path("g"), "Pasted", 0, "alpha 11"), 1)
            kestruneCore.closeLog(testSupport.path("g"), "Pasted")
            keyClick(Qt.Key_Home)
            keyClick(Qt.Key_End, Qt.ControlModifier | Qt.ShiftModifier)
            keyClick(Qt.Key_C, Qt.ControlModifier)
            let whole = ""
            for (let i = 0; i < 200; ++i)
                whole += copiedRecord(i)
            compareClipboard(whole)

            const menu = findChild(view, "rowMenu")
            clickRow(20)
            mouseClick(logView().itemAtIndex(20), 300, 15, Qt.RightButton)
            tryVerify(() => menu.opened)
            mouseClick(findChild(menu.contentItem, "copyMessageItem"))
            tryVerify(() => !menu.visible)
            compareClipboard("alpha 20")
            mouseClick(logView().itemAtIndex(21), 300, 15, Qt.RightButton)
            tryVerify(() => menu.opened)
            mouseClick(findChild(menu.contentItem, "copyRecordItem"))
            compareClipboard(copiedRecord(21))
            const confirmation = findChild(view, "statusConfirmation")
            compare(confirmation.text, "Copied 1 record")
            // With several rows selected the menu copies them all.
            clickRow(20)
            keyClick(Qt.Key_Down, Qt.ShiftModifier)
            keyClick(Qt.Key_Down, Qt.ShiftModifier)
            mouseClick(logView().itemAtIndex(21), 300, 15, Qt.RightButton)
            tryVerify(() => menu.opened)
            const copyAll = findChild(menu.contentItem, "copyRecordItem")
            compare(copyAll.text, "Copy 3 records")
            mouseClick(copyAll)
            compareClipboard(copiedRecord(20) + copiedRecord(21) + copiedRecord(22))
            compare(confirmation.text, "Copied 3 records")
        }

        function test_findKeysBothWaysSayWhatHappened() {
            open(folderA, "Server")
            const message = findChild(view, "findMessage")
            keyClick(Qt.Key_F, Qt.ControlModifier)
            for (const c of "needle")
                keyClick(c)
            // F3 and Shift+F3 from the find field, with the row found and what the panel says.
            const steps = [[0, 50, ""], [0, 150, ""], [0, 50, "Wrapped"],
                           [Qt.ShiftModifier, 150, "Wrapped"], [Qt.ShiftModifier, 50, ""]]
            for (const [modifiers, row, said] of steps) {
                keyClick(Qt.Key_F3, modifiers)
                searched()
                compare(logView().currentIndex, row)
                compare(panel().message, said)
            }
            // How many rows hold it follows what the search met, once counted.
            tryCompare(message, "text", "2 of 200")
            keyClick(Qt.Key_F3)
            searched()
            keyClick(Qt.Key_F3)
            searched()
            compare(message.text, "Wrapped \u00b7 2 of 200")
            // The found text is marked in every row that holds it, in the message only.
            for (const row of [50, 150]) {
                logView().positionViewAtIndex(row, ListView.Center)
                const marks = findChild(logView().itemAtIndex(row), "matchMarks").item
                const shown = [].concat(...Array.from(marks.children)
                                                  .map(column => Array.from(column.children)))
                                .filter(mark => mark.objectName === "matchMark" && mark.visible)
                compare(shown.length, 1)
                verify(shown[0].width > 0 && shown[0].x > 200)
            }
            verify(!findChild(logView().itemAtIndex(151), "matchMark"))
            findField().text = "no such text"
            keyClick(Qt.Key_F3, Qt.ShiftModifier)
            searched()
            compare(logView().currentIndex, -1)
            compare(message.text, "No match")
            keyClick("x")
            compare(message.text, "")
        }

        function test_enterShowsDetailsAndEscapeClosesWindowAndPanel() {
            open(folderA, "Server")
            clickRow(120)
            keyClick(Qt.Key_Return)
            const window = findChild(view, "detailLogWindow")
            verify(window.visible)
            compare(window.message, "alpha 120")
            compare(window.cppFileName, "file120.cpp")
            // The keys now go to the detail window, which has the focus.
            keyClick(Qt.Key_Escape)
            verify(!window.visible)
            view.forceActiveFocus()
            keyClick(Qt.Key_F, Qt.ControlModifier)
            verify(panel().visible)
            keyClick(Qt.Key_Escape)
            verify(!panel().visible)
        }

        // A reload that finds none of the log's files keeps the rows, the current row and the
        // place, and says why; F5 tries again.
        function test_failedReloadKeepsWhatWasShown() {
            testSupport.remove("h")
            testSupport.writeFile("h/Rotated_1.log", logText(30, 0, "kept"))
            open(testSupport.path("h"), "Rotated")
            clickRow(5)
            const contentY = logView().contentY
            testSupport.remove("h/Rotated_1.log")
            keyClick(Qt.Key_F5)
            waitForLoad()
            compare(view.currentLog.state, "failed")
            compare(logView().count, 30)
            compare(logView().currentIndex, 5)
            compare(logView().contentY, contentY)
            compare(findChild(view, "recordStatus").text,
                    "30 of 30 records · reload failed: none of its files were found")
            compare(kestruneCore.logRecordCounts(testSupport.path("h"), "Rotated").total, 30)
            compare(kestruneCore.findNext(testSupport.path("h"), "Rotated", 0, "kept 7"), 7)
            testSupport.writeFile("h/Rotated_2.log", logText(40, 100, "back"))
            keyClick(Qt.Key_F5)
            waitForLoad()
            compare(view.currentLog.state, "ready")
            compare(logView().count, 40)
            verify(findChild(view, "recordStatus").text.startsWith("40 of 40 records · opened in "))
        }

        function test_dateSearchSaysNoMatchBesideTheDateField() {
            open(folderC, "Client")
            keyClick(Qt.Key_F, Qt.ControlModifier)
            mouseClick(findChild(panel(), "findDateField"))
            for (const c of "2099")
                keyClick(c)
            keyClick(Qt.Key_Return)
            compare(logView().currentIndex, -1)
            compare(findChild(panel(), "dateMessage").text, "No match")
            compare(findChild(panel(), "findMessage").text, "")
            keyClick("/")
            compare(findChild(panel(), "dateMessage").text, "")
        }

        // A row cut by the list's edge becomes current where it is; a key then scrolls to it.
        function test_clickOnlyMakesRowCurrent() {
            open(folderA, "Server")
            logView().contentY = logView().originY + 15
            mouseClick(logView().itemAtIndex(0), 300, 25)
            compare(logView().currentIndex, 0)
            compare(logView().contentY, logView().originY + 15)
            keyClick(Qt.Key_Down)
            keyClick(Qt.Key_Up)
            compare(logView().currentIndex, 0)
            compare(logView().contentY, logView().originY)
        }

        // Pressed while the log still loads, a search waits for that log's search texts
        // without blocking the window, then runs. A newer search takes the place of one that
        // runs, and Escape stops one first: the searches run in turn, so that a row of theirs
        // would come before that of the search after them.
        function test_findWaitsForItsLogWithoutBlocking() {
            view.openFile(folderA, "Server")
            panel().visible = true
            findField().text = "needle"
            panel().findNext("needle")
            compare(findChild(view, "findMessage").text, "Searching…")
            tryCompare(logView(), "currentIndex", 50, 20000)
            compare(panel().message, "")
            verify(view.currentLog.searchTextsReady)

            panel().findNext("needle")
            panel().findNext("alpha 120")
            searched()
            compare(logView().currentIndex, 120)
            compare(panel().message, "")
            panel().findNext("needle")
            compare(panel().message, "Searching…")
            keyClick(Qt.Key_Escape)
            compare(panel().message, "")
            verify(panel().visible)
            panel().findNext("alpha 120")
            searched()
            compare(logView().currentIndex, 120)
            compare(panel().message, "Wrapped")
            keyClick(Qt.Key_Escape)
            verify(!panel().visible)
        }

        // The window's filter reaches every log in the background: the rows stay, and the
        // status line says so, until the pass is in; a log opened later takes it on its load.
        function test_filterInBackgroundKeepsRowsUntilItsPassIsIn() {
            open(folderA, "Server")
            clickRow(150)
            view.logFilter = {
                "texts": ["needle"],
                "containsAll": false,
                "onlyErrors": false
            }
            view.filterInBackground()
            verify(view.filterPending)
            compare(logView().count, 200)
            verify(findChild(view, "recordStatus").text.indexOf("filtering…") >= 0)
            tryVerify(() => !view.filterPending, 20000)
            compare(logView().count, 2)
            compare(logView().currentIndex, 1)
            compare(findChild(view, "recordStatus").text.indexOf("filtering…"), -1)
            open(folderC, "Client")
            compare(logView().count, 2)
            compare(logView().itemAtIndex(1).message, "gamma 150 needle")
        }

        // A tab whose log was closed from outside the window opens it again when it is shown
        // or reloaded; its object stays the same.
        function test_logClosedOutsideTheWindowComesBack() {
            open(folderA, "Server")
            const log = view.currentLog
            open(folderB, "Server")
            kestruneCore.closeLog(folderA, "Server")
            compare(log.state, "closed")
            clickTab(0)
            compare(view.currentLog, log)
            waitForLoad()
            compare(logView().count, 200)
            kestruneCore.closeLog(folderA, "Server")
            compare(logView().count, 0)
            compare(findChild(view, "recordStatus").text, "")
            keyClick(Qt.Key_F5)
            waitForLoad()
            compare(view.currentLog, log)
            compare(logView().count, 200)
            compare(tabs().count, 2)
        }

        function test_tabKeysSwitchAndCloseAndCurrentTabIsMarked() {
            open(folderA, "Server")
            open(folderB, "Server")
            open(folderC, "Client")
            logView().forceActiveFocus()
            keyClick(Qt.Key_Tab, Qt.ControlModifier)
            compare(tabs().currentIndex, 0)
            compare(logView().count, 200)
            keyClick(Qt.Key_Backtab, Qt.ControlModifier | Qt.ShiftModifier)
            compare(tabs().currentIndex, 2)
            keyClick(Qt.Key_Tab, Qt.ControlModifier | Qt.ShiftModifier)
            compare(tabs().currentIndex, 1)
            compare(logView().count, 100)
            for (let i = 0; i < 3; ++i)
                compare(findChild(tab(i), "currentMark").visible, i === 1)
            keyClick(Qt.Key_W, Qt.ControlModifier)
            compare(tabs().count, 2)
            compare(tabs().currentIndex, 0)
            verify(findChild(tab(0), "currentMark").visible)
        }
    
        // The filter shows above the records with a button that clears it; the record made
        // current by the keys is the one a filter change keeps; no row passing is said.
        function test_filterBarAndTheKeysRecordAndNoRowPassing() {
            open(folderA, "Server")
            const bar = findChild(view, "activeFilterBar")
            verify(!bar.visible)
            clickRow(3)
            keyClick(Qt.Key_End)
            filterAll(["alpha 1"])
            verify(bar.visible)
            compare(findChild(bar, "filterDescription").text, "Filter: any of \u201calpha 1\u201d")
            compare(logView().currentIndex, logView().count - 1)
            compare(logView().itemAtIndex(logView().currentIndex).message, "alpha 199")
            view.logFilter = {"texts": ["a", "b"], "containsAll": true, "onlyErrors": true}
            compare(findChild(bar, "filterDescription").text,
                    "Filter: all of \u201ca\u201d, \u201cb\u201d \u00b7 errors only")
            clears.target = view
            mouseClick(findChild(bar, "clearFilterButton"))
            compare(clears.count, 1)
            const placeholder = findChild(view, "recordListPlaceholder")
            verify(!placeholder.visible)
            filterAll(["no such text"])
            verify(placeholder.visible)
            compare(findChild(placeholder, "placeholderText").text, "No record passes the filter")
            filterAll([])
            compare(logView().currentIndex, 199)
            verify(!bar.visible)
        }

        // A found row shows its match and stays clear of the panel; a date in another form
        // than the log's moves nothing and says the log's form.
        function test_foundRowShowsItsMatchClearOfThePanel() {
            testSupport.writeFile("l/Long_1.log", recordText(0, 0, "x".repeat(600), "[01]")
                                  + recordText(1, 0, "y".repeat(600) + " needle", "[01]"))
            open(testSupport.path("l"), "Long")
            panel().visible = true
            find("needle")
            compare(logView().currentIndex, 1)
            const row = logView().itemAtIndex(1)
            const message = findChild(row, "messageText")
            verify(message.text.startsWith("\u2026y"))
            verify(message.text.endsWith("needle 1"))
            verify(findChild(row, "matchMark").visible)
            find("x".repeat(600))
            compare(logView().currentIndex, 0)
            const top = logView().itemAtIndex(0).mapToItem(view, 0, 0).y
            verify(top >= panel().mapToItem(view, 0, panel().height).y)

            const before = logView().currentIndex
            panel().findDate("15:00")
            compare(logView().currentIndex, before)
            compare(findChild(panel(), "dateHint").text,
                    "This log writes its dates as 2023/02/28 00:00:00.000")
            panel().findDate("2023/02/28 00:00:00.5")
            compare(findChild(panel(), "dateHint").text, "")
            compare(logView().currentIndex, 1)
            kestruneCore.closeLog(testSupport.path("l"), "Long")
        }
    }
}
