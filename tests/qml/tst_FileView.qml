import QtQuick
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
            workInBackground: false
        }
    }

    TextInput {
        id: outside

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
            for (let i = 0; i < count; ++i) {
                const s = firstSecond + i
                const time = "2023/02/28 " + String(Math.floor(s / 3600)).padStart(2, "0") + ":"
                           + String(Math.floor(s / 60) % 60).padStart(2, "0") + ":"
                           + String(s % 60).padStart(2, "0") + ".000"
                const type = i === 120 ? "Error" : "Info"
                const message = label + " " + i + (i === 50 || i === 150 ? " needle" : "")
                text += "<HEAD>[01]" + time + " <LN>" + type + "</LN> <TID>" + (1000 + i)
                        + "</TID> <MNAME>Module" + (i % 7) + "</MNAME> <FILE>file" + i
                        + ".cpp</FILE> <LINE>" + (10 + i) + "</LINE>\n<CONT>" + message
                        + "</CONT>\n"
            }
            return text
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
                               [testSupport.path("f"), "Gone"]])
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
            panel().children[1].text = text
            panel().findNext(text)
        }

        function test_openFileAddsOneTabPerKey() {
            view.openFile(folderA, "Server")
            compare(tabs().count, 1)
            compare(tabs().currentIndex, 0)
            compare(logView().count, 200)
            compare(topRow(), 0)
            compare(tab(0).text, "Server")
            verify(tab(0).isCurrentIndex)

            view.openFile(folderB, "Server")
            compare(tabs().count, 2)
            compare(tabs().currentIndex, 1)
            compare(tab(1).text, "Server")
            compare(logView().count, 100)

            view.openFile(folderA, "Server")
            compare(tabs().count, 2)
            compare(tabs().currentIndex, 0)
            compare(logView().count, 200)
            verify(tab(0).isCurrentIndex)
            verify(!tab(1).isCurrentIndex)
        }

        function test_eachTabKeepsItsTopRow() {
            view.openFile(folderA, "Server")
            scrollTo(80)
            view.openFile(folderC, "Client")
            compare(topRow(), 0)
            scrollTo(33)
            clickTab(0)
            compare(tabs().currentIndex, 0)
            compare(logView().count, 200)
            compare(topRow(), 80)
            view.openFile(folderC, "Client")
            compare(topRow(), 33)
            // Clicking the current tab binds the same model again and moves nothing.
            logView().currentIndex = 40
            scrollTo(20)
            clickTab(1)
            compare(topRow(), 20)
            compare(logView().currentIndex, 40)
        }

        function test_closingAnotherTabMakesFirstCurrent() {
            view.openFile(folderA, "Server")
            scrollTo(10)
            view.openFile(folderB, "Server")
            view.openFile(folderC, "Client")
            scrollTo(40)
            closeTab(1)
            compare(tabs().count, 2)
            compare(tabs().currentIndex, 0)
            compare(logView().count, 200)
            compare(topRow(), 10)
            clickTab(1)
            compare(logView().count, 300)
            compare(topRow(), 40)
        }

        function test_closingCurrentTabKeepsOtherSavedRows() {
            view.openFile(folderA, "Server")
            scrollTo(30)
            view.openFile(folderB, "Server")
            scrollTo(5)
            view.openFile(folderC, "Client")
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
            view.openFile(folderB, "Server")
            compare(tabs().count, 3)
            compare(topRow(), 0)
        }

        function test_closingOnlyTabEmptiesList() {
            view.openFile(folderA, "Server")
            closeTab(0)
            compare(tabs().count, 0)
            compare(logView().count, 0)
            verify(!logView().model)
        }

        function test_reloadReadsFilesAgainAndShowsEnd() {
            testSupport.remove("d")
            testSupport.writeFile("d/Reload_1.log", logText(50, 0, "first"))
            view.openFile(testSupport.path("d"), "Reload")
            compare(logView().count, 50)
            clickRow(3)
            testSupport.writeFile("d/Reload_2.log", logText(60, 1000, "second"))
            keyClick(Qt.Key_F5)
            compare(logView().count, 110)
            verify(logView().itemAtIndex(109))
            compare(logView().indexAt(10, logView().contentY + logView().height - 1), 109)
            testSupport.writeFile("d/Reload_3.log", logText(5, 5000, "third"))
            keyClick(Qt.Key_F5, Qt.ShiftModifier)
            compare(logView().count, 115)
            compare(logView().indexAt(10, logView().contentY + logView().height - 1), 114)
        }

        function test_reloadDropsFiltersOfOldModel() {
            view.openFile(folderA, "Server")
            view.disconnectModel()
            kestruneCore.containsOnly(["needle"])
            view.connectModel()
            compare(logView().count, 2)
            logView().forceActiveFocus()
            keyClick(Qt.Key_F5)
            compare(logView().count, 200)
        }

        function test_ctrlFTogglesPanelAndFocusesField() {
            verify(!panel().visible)
            keyClick(Qt.Key_F, Qt.ControlModifier)
            verify(panel().visible)
            verify(panel().children[1].activeFocus)
            keyClick(Qt.Key_F, Qt.ControlModifier)
            verify(!panel().visible)
            view.forceActiveFocus()
            keyClick(Qt.Key_F, Qt.ControlModifier | Qt.ShiftModifier)
            verify(panel().visible)
            mouseClick(findChild(view, "searchButton"))
            verify(!panel().visible)
            mouseClick(findChild(view, "searchButton"))
            verify(panel().visible)
            verify(panel().children[1].activeFocus)
            panel().closePanel()
            verify(!panel().visible)
        }

        function test_keysOutsideViewDoNotReachIt() {
            outside.forceActiveFocus()
            keyClick(Qt.Key_F, Qt.ControlModifier)
            verify(!panel().visible)
        }

        function test_findTextSelectsCentresAndWraps() {
            view.openFile(folderA, "Server")
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
            view.openFile(folderA, "Server")
            keyClick(Qt.Key_F, Qt.ControlModifier)
            for (const c of "needle")
                keyClick(c)
            keyClick(Qt.Key_Return)
            compare(logView().currentIndex, 50)
            keyClick(Qt.Key_Return)
            compare(logView().currentIndex, 150)
        }

        function test_findDateSelectsFirstLaterRecord() {
            view.openFile(folderC, "Client")
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
            view.openFile(folderA, "Server")
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
        }

        function test_rememberedRecordIsSharedByTabs() {
            view.openFile(folderA, "Server")
            clickRow(42)
            view.openFile(folderC, "Client")
            compare(logView().currentIndex, 0)
            view.disconnectModel()
            kestruneCore.containsAll(["gamma"])
            view.connectModel()
            view.restoreLineNumber()
            compare(logView().currentIndex, 42)
            kestruneCore.containsAll([])
        }

        function test_doubleClickFillsDetailWindow() {
            view.openFile(folderA, "Server")
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

        function test_rowsNumberedByListPosition() {
            view.openFile(folderA, "Server")
            view.disconnectModel()
            kestruneCore.containsOnly(["needle"])
            view.connectModel()
            const second = logView().itemAtIndex(1)
            compare(second.line, 1)
            compare(second.message, "alpha 150 needle")
            verify(second.width === logView().width && second.height === 30)
        }

        function test_tabSaysWhyItShowsNoRecords() {
            const status = findChild(view, "logStatus")
            testSupport.writeFile("e/Empty_1.log", "")
            view.openFile(testSupport.path("e"), "Empty")
            compare(logView().count, 0)
            verify(status.visible)
            compare(status.text, "No records in this log.")
            view.openFile(testSupport.path("f"), "Gone")
            verify(!logView().model)
            compare(status.text, "Could not open this log: none of its files were found.")
            // A log with records says nothing, and its rows start below the tab strip.
            view.openFile(folderA, "Server")
            verify(!status.visible)
            compare(logView().count, 200)
            compare(logView().y, findChild(view, "tabListView").height + 1)
            clickTab(0)
            verify(status.visible)
            compare(logView().y, findChild(view, "tabListView").height + 1 + status.height)
        }

        function test_toBottomButtonKeepsCurrentRow() {
            view.openFile(folderC, "Client")
            logView().currentIndex = 3
            mouseClick(findChild(view, "btnToBottom"))
            compare(logView().indexAt(10, logView().contentY + logView().height - 1), 299)
            compare(logView().currentIndex, 3)
        }
    }
}
