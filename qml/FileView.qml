import QtQuick
import QtQuick.Controls.Universal
import Kestrune
import "./fonts"

// The open logs as tabs over the record list of the current tab, with the find panel,
// the jump-to-end button and the detail window. A line above the records says what the core
// has to say about the current log: why it could not be opened, that it has no records, or
// that a filter or search could not run. A line below them counts the records and shows how
// far a load has got.
// The record list shows a window of the log's rows, moved along as the list scrolls, so that
// rows keep exact positions in logs of any length; its scroll bar maps the whole log.
FocusScope {
    id: root

    // The filter that the window shows: texts, how they combine and the errors-only switch.
    // The core opens a log unfiltered; the view brings every log it opens to this filter.
    property var logFilter: ({
            "texts": [],
            "containsAll": false,
            "onlyErrors": false
        })
    // Logs load, reload and close on worker threads while the window goes on; false does
    // all of it on the interface thread, the list following at once.
    property bool workInBackground: true
    // A filter change waits for the logs' search texts; the status line says so.
    property bool filterPending: false

    function openFile(folder, file) {
        const open = tabIndex(folder, file);
        if (open >= 0) {
            switchToFileTab(open);
            return;
        }
        tabModel.append({
                "folderRole": folder,
                "nameRole": file,
                "visibleIndexRole": 0,
                "loadRole": "",
                "bytesReadRole": 0,
                "totalBytesRole": 0,
                "openTimeRole": -1
            });
        switchToFileTab(tabListView.count - 1);
    }

    function tabIndex(folder, file) {
        for (let i = 0; i < tabModel.count; ++i) {
            const tab = tabModel.get(i);
            if (tab.folderRole === folder && tab.nameRole === file)
                return i;
        }
        return -1;
    }

    function switchToFileTab(index) {
        if (tabModel.count === 0) {
            showRecords(null);
            showStatus();
            return;
        }
        if (tabListView.currentIndex >= 0)
            tabModel.setProperty(tabListView.currentIndex, "visibleIndexRole", topRow());
        showTab(index);
    }

    function disconnectModel() {
        core.tempModel = recordWindow.sourceModel;
        showRecords(null);
    }

    function connectModel() {
        showRecords(core.tempModel);
        core.tempModel = undefined;
        forgetRowMarks();
        showStatus();
    }

    // The list keeps the rows it shows until the pass of the latest change has been taken.
    function filterInBackground() {
        core.filterGeneration = kestruneCore.filterLogsAsync(logFilter.texts, logFilter.containsAll,
                                                             logFilter.onlyErrors);
    }

    function finishFilter(generation) {
        if (generation !== core.filterGeneration)
            return;
        filterPending = false;
        disconnectModel();
        connectModel();
        restoreLineNumber();
    }

    function isFiltered() {
        return logFilter.onlyErrors || logFilter.texts.length > 0;
    }

    function openFilteredLog(folder, name) {
        const model = kestruneCore.openLog(folder, name);
        if (model)
            kestruneCore.filterLog(folder, name, logFilter.texts, logFilter.containsAll,
                                   logFilter.onlyErrors);
        return model;
    }

    function showStatus() {
        const tab = currentTab();
        statusText.text = tab ? kestruneCore.logStatus(tab.folderRole, tab.nameRole)
                              : kestruneCore.startNotice();
        statusLine.show(tab, filterPending);
        core.currentTabLoads = tab !== null && tab.loadRole !== "";
    }

    function restoreLineNumber() {
        const tab = currentTab();
        if (!tab)
            return;
        selectAndCentre(kestruneCore.getIndex(tab.folderRole, tab.nameRole,
                                              core.currentLineNumber));
    }

    // Makes the tab at index current, binds the list to its log and puts its saved row on top.
    // A log that is not open yet leaves the list empty until its load has finished.
    function showTab(index) {
        tabListView.currentIndex = index;
        const tab = tabModel.get(index);
        if (workInBackground && kestruneCore.openLogAsync(tab.folderRole, tab.nameRole, logFilter.texts,
                                                          logFilter.containsAll, logFilter.onlyErrors)) {
            if (tab.loadRole === "")
                startLoad(index, "open");
            showRecords(null);
        } else {
            showRecords(openFilteredLog(tab.folderRole, tab.nameRole));
            showSavedRow(tab);
        }
        forgetRowMarks();
        showStatus();
    }

    function showSavedRow(tab) {
        if (tab.visibleIndexRole < recordWindow.sourceCount)
            logView.positionViewAtIndex(listIndexOf(tab.visibleIndexRole), ListView.Beginning);
    }

    // Binds the record list to a record model, or to none, through its window of rows. A new
    // model reaches the list as a new model, which starts it at its first row; binding the
    // same model again changes nothing.
    function showRecords(model) {
        if (model && model === recordWindow.sourceModel && logView.model)
            return;
        logView.model = null;
        recordWindow.sourceModel = model;
        logView.model = model ? recordWindow : null;
    }

    function closeLogOf(folder, name) {
        if (workInBackground)
            kestruneCore.closeLogAsync(folder, name);
        else
            kestruneCore.closeLog(folder, name);
    }

    function showLoadProgress(folder, name, bytesRead, totalBytes) {
        const index = tabIndex(folder, name);
        if (index < 0)
            return;
        tabModel.setProperty(index, "bytesReadRole", bytesRead);
        tabModel.setProperty(index, "totalBytesRole", totalBytes);
        if (index === tabListView.currentIndex)
            showStatus();
    }

    // A first open shows the log from its saved row, a reload from its end, as before.
    // The core applies the window's filter on the load's worker, a change made during the
    // load too, before the log is registered.
    function startLoad(index, kind) {
        tabModel.setProperty(index, "loadRole", kind);
    }

    function finishLoad(folder, name, opened, milliseconds) {
        const index = tabIndex(folder, name);
        if (index < 0)
            return;
        const tab = tabModel.get(index);
        const reloaded = tab.loadRole === "reload";
        tabModel.setProperty(index, "loadRole", "");
        tabModel.setProperty(index, "openTimeRole", opened ? milliseconds : -1);
        if (index !== tabListView.currentIndex)
            return;
        showRecords(opened ? kestruneCore.openLog(folder, name) : null);
        forgetRowMarks();
        if (reloaded)
            showReloaded(folder, name);
        else
            showSavedRow(tabModel.get(index));
        showStatus();
    }

    // Escape stops the current tab's load: a reload keeps the rows it had, a first open
    // closes its tab.
    function cancelLoad() {
        const index = tabListView.currentIndex;
        const tab = currentTab();
        if (!tab || tab.loadRole === "")
            return;
        if (tab.loadRole === "open") {
            closeFileTab(index);
            return;
        }
        kestruneCore.cancelLoad(tab.folderRole, tab.nameRole);
        tabModel.setProperty(index, "loadRole", "");
        showStatus();
    }

    function topRow() {
        const index = logView.indexAt(10, logView.contentY);
        return index < 0 ? 0 : recordWindow.first + index;
    }

    // The list index of a row of the log. A row near or past the ends of the window first
    // moves the window to have it in the middle; the caller then positions the list.
    function listIndexOf(row) {
        const index = row - recordWindow.first;
        const margin = recordWindow.capacity / 4;
        const nearStart = index < margin && recordWindow.first > 0;
        const nearEnd = index >= logView.count - margin
                      && recordWindow.first + logView.count < recordWindow.sourceCount;
        return nearStart || nearEnd ? moveWindowTo(row) : index;
    }

    // Moves the window and keeps the selected row selected when it is still inside.
    function moveWindowTo(row) {
        core.moving = true;
        const index = recordWindow.centreOn(row);
        const selected = core.selectedRow - recordWindow.first;
        logView.currentIndex = core.selectedRow >= 0 && selected < logView.count ? selected : -1;
        core.moving = false;
        return index;
    }

    // Moves the window along when the list scrolls near its ends, so that the same rows stay
    // in view, and shows the place in the log on the scroll bar.
    function followScroll() {
        if (core.moving || !logView.model)
            return;
        const top = logView.indexAt(10, logView.contentY);
        if (top < 0)
            return;
        const first = recordWindow.first;
        const contentY = logView.contentY;
        const index = listIndexOf(first + top);
        if (index !== top) {
            core.moving = true;
            logView.contentY = contentY - (recordWindow.first - first) * core.rowHeight;
            core.moving = false;
        }
        if (recordScrollBar.pressed)
            return;
        core.moving = true;
        recordScrollBar.position = (recordWindow.first * core.rowHeight + logView.contentY
                                    - logView.originY) / (recordWindow.sourceCount * core.rowHeight);
        core.moving = false;
    }

    // Scrolls the list to a place in the whole log, given as a fraction of its height.
    function scrollToFraction(fraction) {
        const height = recordWindow.sourceCount * core.rowHeight;
        const y = Math.max(0, Math.min(fraction * height, height - logView.height));
        const row = Math.floor(y / core.rowHeight);
        const index = listIndexOf(row);
        core.moving = true;
        logView.contentY = logView.originY + index * core.rowHeight + y - row * core.rowHeight;
        core.moving = false;
    }

    function showEnd() {
        if (recordWindow.sourceCount > 0)
            listIndexOf(recordWindow.sourceCount - 1);
        logView.positionViewAtEnd();
    }

    function currentTab() {
        const index = tabListView.currentIndex;
        return index >= 0 && index < tabModel.count ? tabModel.get(index) : null;
    }

    function closeFileTab(index) {
        const current = tabListView.currentIndex;
        if (index !== current && current >= 0)
            tabModel.setProperty(current, "visibleIndexRole", topRow());
        const folder = tabModel.get(index).folderRole;
        const name = tabModel.get(index).nameRole;
        // The core destroys the closed log's model at once: the list must not hold it then.
        if (index === current)
            showRecords(null);
        closeLogOf(folder, name);
        tabModel.remove(index);
        if (tabModel.count === 0) {
            showRecords(null);
            showStatus();
            return;
        }
        showTab(0);
    }

    function reload() {
        const tab = currentTab();
        if (!tab)
            return;
        const folder = tab.folderRole;
        const name = tab.nameRole;
        if (workInBackground) {
            // A reload that is running already goes on; the rows stay until the new ones come.
            if (tab.loadRole === "" && kestruneCore.reloadLogAsync(folder, name, logFilter.texts,
                                                                   logFilter.containsAll, logFilter.onlyErrors)) {
                const open = kestruneCore.logRecordCounts(folder, name).total !== undefined;
                startLoad(tabListView.currentIndex, open ? "reload" : "open");
            }
            showStatus();
            return;
        }
        // Detached first, so that the list never touches the model that closeLog destroys.
        showRecords(null);
        kestruneCore.closeLog(folder, name);
        showRecords(openFilteredLog(folder, name));
        forgetRowMarks();
        showReloaded(folder, name);
        showStatus();
    }

    // Under a filter a reload ends as a filter change does, on the record clicked last;
    // otherwise on the last record, the one shown, so that the keys go on from there.
    function showReloaded(folder, name) {
        if (isFiltered() && kestruneCore.getIndex(folder, name, core.currentLineNumber) >= 0) {
            showEnd();
            restoreLineNumber();
        } else {
            moveTo(recordWindow.sourceCount - 1, false);
            showEnd();
        }
    }

    // True when the logs' search texts are built; otherwise the search is tried again shortly,
    // without blocking the window, unless a newer one takes its place.
    function searchTextsReadyFor(search) {
        if (kestruneCore.searchTextsReady())
            return true;
        core.pendingFind = search;
        searchTextsWait.start();
        return false;
    }

    function openFindNextPanel() {
        findNextPanel.visible = !findNextPanel.visible;
        if (findNextPanel.visible)
            findNextPanel.setFocusOnTextField();
    }

    // Until the search texts are built the search waits without blocking the window; a newer
    // search takes its place.
    function findText(str) {
        const tab = currentTab();
        if (!tab)
            return;
        if (!searchTextsReadyFor(() => findText(str)))
            return;
        const from = core.selectedRow;
        const row = kestruneCore.findNext(tab.folderRole, tab.nameRole, from + 1, str);
        showFound(row, str, row >= 0 && row <= from);
        showStatus();
    }

    // The search backwards from the row above the current one, wrapping at the top.
    function findPreviousText(str) {
        const tab = currentTab();
        if (!tab)
            return;
        if (!searchTextsReadyFor(() => findPreviousText(str)))
            return;
        const from = core.selectedRow < 0 ? recordWindow.sourceCount : core.selectedRow;
        const row = kestruneCore.findPrevious(tab.folderRole, tab.nameRole, from - 1, str);
        showFound(row, str, row >= from);
        showStatus();
    }

    function showFound(row, str, wrapped) {
        selectAndCentre(row);
        core.foundRow = row;
        core.foundText = str;
        findNextPanel.message = row < 0 ? qsTr("No match") : wrapped ? qsTr("Wrapped") : "";
    }

    function findDate(str) {
        const tab = currentTab();
        if (!tab)
            return;
        const row = kestruneCore.findDate(tab.folderRole, tab.nameRole, str);
        selectAndCentre(row);
        findNextPanel.message = row < 0 ? qsTr("No match") : "";
    }

    function selectAndCentre(row) {
        core.selectionAnchor = -1;
        if (row < 0) {
            logView.currentIndex = -1;
            return;
        }
        const index = listIndexOf(row);
        logView.currentIndex = index;
        logView.positionViewAtIndex(index, ListView.Center);
    }

    Component.onCompleted: showStatus()

    // Makes row of the log (kept inside it) current and scrolls it just into view; with
    // extend, the selection reaches from where it began to there.
    function moveTo(row, extend) {
        if (recordWindow.sourceCount === 0)
            return;
        if (!extend)
            core.selectionAnchor = -1;
        else if (core.selectionAnchor < 0)
            core.selectionAnchor = Math.max(core.selectedRow, 0);
        const index = listIndexOf(Math.max(0, Math.min(row, recordWindow.sourceCount - 1)));
        logView.currentIndex = index;
        logView.positionViewAtIndex(index, ListView.Contain);
    }

    // A new model, or rows changed underneath: no range and no found text are left.
    function forgetRowMarks() {
        core.selectionAnchor = -1;
        core.foundRow = -1;
    }

    function showDetails(row) {
        const tab = currentTab();
        const record = tab ? kestruneCore.recordAt(tab.folderRole, tab.nameRole, row) : {};
        if (record.messageRole === undefined)
            return;
        detailLogWindow.show();
        detailLogWindow.dateTime = record.dateTimeRole;
        detailLogWindow.logType = record.logTypeRole;
        detailLogWindow.threadID = record.threadIDRole;
        detailLogWindow.moduleName = record.moduleNameRole;
        detailLogWindow.cppFileName = record.cppFileNameRole;
        detailLogWindow.cppLine = record.cppLineRole;
        detailLogWindow.message = record.messageRole;
    }

    function copyRows(first, last) {
        const tab = currentTab();
        if (tab && first >= 0)
            kestruneCore.copyRecords(tab.folderRole, tab.nameRole, first, last);
    }

    function copyMessage(row) {
        const tab = currentTab();
        if (tab)
            kestruneCore.copyMessage(tab.folderRole, tab.nameRole, row);
    }

    function switchTabBy(step) {
        if (tabModel.count > 1)
            switchToFileTab((tabListView.currentIndex + step + tabModel.count) % tabModel.count);
    }

    function closeCurrentTab() {
        if (tabListView.currentIndex >= 0)
            closeFileTab(tabListView.currentIndex);
    }

    function closeTopmost() {
        if (findNextPanel.visible)
            findNextPanel.closePanel();
        else if (detailLogWindow.visible)
            detailLogWindow.close();
    }

    // Ctrl+F and F5 are left unaccepted so that they travel on to the main panel's zoom
    // keys; the reading keys end here.
    Keys.onPressed: event => {
        if (event.key === Qt.Key_F && (event.modifiers & Qt.ControlModifier))
            openFindNextPanel();
        else if (event.key === Qt.Key_F5)
            reload();
        else if (readingKeys.handle(event))
            return;
        event.accepted = false;
    }

    ReadingKeys {
        id: readingKeys

        listHasFocus: logView.activeFocus
        rowsPerPage: Math.max(1, Math.floor(logView.height / 30))
        onMoveBy: (rows, extend) => root.moveTo(core.selectedRow + rows, extend)
        onMoveToEnd: (last, extend) => root.moveTo(last ? recordWindow.sourceCount - 1 : 0, extend)
        onShowDetails: root.showDetails(core.selectedRow)
        onCopySelection: root.copyRows(core.selectionFirst, core.selectionLast)
        onCloseTopmost: root.closeTopmost()
        onFind: backwards => backwards ? root.findPreviousText(findNextPanel.findText)
                                       : root.findText(findNextPanel.findText)
        onSwitchTab: step => root.switchTabBy(step)
        onCloseTab: root.closeCurrentTab()
    }

    // Wherever the keyboard focus is, while the current tab loads.
    Shortcut {
        sequence: "Escape"
        enabled: core.currentTabLoads
        onActivated: root.cancelLoad()
    }

    Timer {
        id: searchTextsWait

        interval: 20
        onTriggered: {
            const search = core.pendingFind;
            core.pendingFind = null;
            search();
        }
    }

    onFilterPendingChanged: showStatus()

    Connections {
        target: kestruneCore

        function onLogLoadProgress(folder, serverName, bytesRead, totalBytes) {
            root.showLoadProgress(folder, serverName, bytesRead, totalBytes);
        }

        function onLogLoadFinished(folder, serverName, opened, milliseconds) {
            root.finishLoad(folder, serverName, opened, milliseconds);
        }

        function onLogsFiltered(generation) {
            root.finishFilter(generation);
        }
    }

    QtObject {
        id: core

        property var tempModel: undefined
        property int currentLineNumber: 0
        // The selected row of the log, which may lie outside the window of rows.
        property int selectedRow: -1
        property bool moving: false
        readonly property int rowHeight: 30
        // The other end of a selected range of rows, -1 when only the current row is.
        property int selectionAnchor: -1
        readonly property int selectionFirst: selectionAnchor < 0
                                              ? selectedRow
                                              : Math.min(selectionAnchor, selectedRow)
        readonly property int selectionLast: Math.max(selectionAnchor, selectedRow)
        // The row that the last text search found, and the text it found there.
        property int foundRow: -1
        property string foundText: ""
        property bool currentTabLoads: false
        // A search that waits for the search texts.
        property var pendingFind: null
        // The filterLogsAsync call whose rows the list waits for.
        property int filterGeneration: 0
    }

    RecordWindowModel {
        id: recordWindow

        objectName: "recordWindow"
    }

    ListModel {
        id: tabModel
    }

    Rectangle {
        anchors.fill: parent
        color: kestruneCore.getStyle("textBackgroundColor", "#2b3033")
    }

    Rectangle {
        id: tabBar

        z: logView.z + 1
        y: 1
        width: root.width
        height: 50
        color: kestruneCore.getStyle("tabBackgroundColor", "#2b3033")

        ListView {
            id: tabListView

            objectName: "tabListView"
            anchors.fill: parent
            orientation: ListView.Horizontal
            model: tabModel
            delegate: FileTab {
                required property int index
                required property string nameRole
                required property string loadRole
                required property real bytesReadRole
                required property real totalBytesRole

                width: 135
                height: 50
                text: nameRole
                progress: loadRole === "" ? -1 : bytesReadRole / Math.max(totalBytesRole, 1)
                isCurrentIndex: tabListView.currentIndex === index
                onSwitchToTab: {
                    root.switchToFileTab(index);
                    tabListView.currentIndex = index;
                }
                onCloseTab: root.closeFileTab(index)
            }
        }

        ImageButton {
            id: searchButton

            objectName: "searchButton"
            width: 30
            height: 30
            anchors.verticalCenter: parent.verticalCenter
            anchors.right: parent.right
            anchors.rightMargin: 5
            imageSource: "./img/icon_global_search_white.svg"
            backgroundBorderWidth: 1
            onClicked: root.openFindNextPanel()
        }
    }

    Rectangle {
        id: statusBar

        anchors.top: tabBar.bottom
        anchors.left: root.left
        anchors.right: root.right
        height: visible ? statusText.implicitHeight : 0
        visible: statusText.text !== ""
        color: kestruneCore.getStyle("folderViewBackgroundColor", "#34393d")

        Text {
            id: statusText

            objectName: "logStatus"
            width: parent.width
            padding: 8
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            font.family: GlobalFont.name
            font.pixelSize: 14
            color: "#ffd27f"
        }
    }

    ListView {
        id: logView

        objectName: "logView"
        // The view's own keys move the current row and the selection.
        keyNavigationEnabled: false
        anchors.top: statusBar.bottom
        anchors.left: root.left
        anchors.leftMargin: 5
        anchors.right: root.right
        anchors.bottom: statusLine.top
        onCountChanged: root.showStatus()
        onCurrentIndexChanged: {
            if (!core.moving)
                core.selectedRow = currentIndex < 0 ? -1 : recordWindow.first + currentIndex;
        }
        onContentYChanged: root.followScroll()
        onHeightChanged: root.followScroll()

        delegate: LogDelegate {
            required property int index
            required property string dateTimeRole
            required property string logTypeRole
            required property string threadIDRole
            required property string moduleNameRole
            required property string messageRole
            required property int lineRole

            width: logView.width
            height: core.rowHeight
            dateTime: dateTimeRole
            message: messageRole
            moduleName: moduleNameRole
            threadID: threadIDRole
            logType: logTypeRole
            line: recordWindow.first + index
            selected: line >= core.selectionFirst && line <= core.selectionLast
            matchText: line === core.foundRow ? core.foundText : ""
            onClicked: {
                root.moveTo(line, false);
                core.currentLineNumber = lineRole;
                // The list, not the row: a row scrolled out of view is destroyed.
                logView.forceActiveFocus();
            }
            onShiftClicked: {
                root.moveTo(line, true);
                logView.forceActiveFocus();
            }
            onDoubleClicked: {
                logView.currentIndex = index;
                root.showDetails(line);
            }
            onMenuRequested: {
                rowMenu.row = line;
                rowMenu.popup();
            }
        }
    }

    VerticalScrollBar {
        id: recordScrollBar

        objectName: "recordScrollBar"
        attachedView: logView
        size: Math.min(1, logView.height / Math.max(1, recordWindow.sourceCount * core.rowHeight))
        // Wide enough to grab however long the log is.
        minimumSize: height > 0 ? 20 / height : 0
        onPositionChanged: {
            if (!core.moving)
                root.scrollToFraction(position);
        }
    }

    RecordStatusLine {
        id: statusLine

        anchors.left: root.left
        anchors.right: root.right
        anchors.bottom: root.bottom
    }

    Button {
        id: btnToBottom

        objectName: "btnToBottom"
        width: 20
        height: 20
        anchors.bottom: statusLine.top
        anchors.bottomMargin: 15
        anchors.right: root.right
        anchors.rightMargin: 15
        text: "↓"
        font.family: GlobalFont.name
        font.pixelSize: 15
        font.bold: true
        onClicked: root.showEnd()

        background: Rectangle {
            radius: 10
            color: "#e0e0e0"
        }
    }

    FindNextPanel {
        id: findNextPanel

        objectName: "findNextPanel"
        anchors.top: logView.top
        anchors.topMargin: 5
        anchors.right: logView.right
        anchors.rightMargin: 10
        visible: false
        onFindNext: str => root.findText(str)
        onFindDate: str => root.findDate(str)
        onClosePanel: visible = false
        // A hidden field must not keep the keys: they go back to the record list.
        onVisibleChanged: {
            if (!visible)
                logView.forceActiveFocus();
        }
    }

    Menu {
        id: rowMenu

        // The row that was right-clicked.
        property int row: -1

        objectName: "rowMenu"

        MenuItem {
            objectName: "copyRecordItem"
            text: qsTr("Copy record")
            onTriggered: root.copyRows(rowMenu.row, rowMenu.row)
        }

        MenuItem {
            objectName: "copyMessageItem"
            text: qsTr("Copy message")
            onTriggered: root.copyMessage(rowMenu.row)
        }
    }

    LogDetailWindow {
        id: detailLogWindow

        objectName: "detailLogWindow"
    }
}
