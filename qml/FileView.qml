import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

// The open logs as tabs over the record list of the current tab, with the find panel, the
// jump-to-end button and the detail window. Each tab is bound to its log's object from the
// core, which loads, reloads, filters and closes in the background: the line above the
// records says what that log has to say (why it could not be opened, that it has no records,
// that a filter or a search could not run), the line below counts its records and shows its
// load, and the list follows the log's signals.
FocusScope {
    id: root

    // The filter that the window shows: texts, how they combine, the errors-only switch and
    // the time range ("from" and "to", empty when unbounded). Every log that the view opens or
    // reloads takes it.
    property alias logFilter: tabs.logFilter
    // The current tab's log object from the core (an OpenLog), or null without a tab.
    readonly property var currentLog: tabs.currentLog
    // The current log's background filter pass has not come in yet.
    readonly property bool filterPending: tabs.currentLog ? tabs.currentLog.filterPending : false
    // The rows held while the list is detached (disconnectModel).
    property var detachedRows: null

    // The filter bar's button: the window's filter is to be cleared.
    signal clearFilterRequested

    function openFile(folder, file) {
        tabs.openFile(folder, file);
    }

    function switchToFileTab(index) {
        tabs.switchTo(index);
    }

    function closeFileTab(index) {
        tabs.close(index);
    }

    function reload() {
        tabs.reloadCurrent();
    }

    function disconnectModel() {
        detachedRows = records.model;
        records.showRecords(null);
    }

    function connectModel() {
        records.showRecords(detachedRows);
        detachedRows = null;
        selection.forgetMarks();
    }

    function restoreLineNumber() {
        const tab = tabs.tab(tabs.currentIndex);
        if (tab)
            records.selectAndCentre(kestruneCore.getIndex(tab.folderRole, tab.nameRole,
                                                          selection.currentLineNumber));
    }

    // Gives every open log the window's filter; the list keeps its rows until its log has
    // taken the new ones.
    function filterInBackground() {
        kestruneCore.filterLogsAsync(logFilter.texts, logFilter.containsAll, logFilter.onlyErrors,
                                     logFilter.from, logFilter.to);
    }

    function openFindNextPanel() {
        findNextPanel.visible = !findNextPanel.visible;
        if (findNextPanel.visible)
            findNextPanel.setFocusOnTextField();
    }

    function showDetails(row) {
        const tab = tabs.tab(tabs.currentIndex);
        const record = tab ? kestruneCore.recordPreviewAt(tab.folderRole, tab.nameRole, row,
                                                       detailLogWindow.mostMessageCharacters) : {};
        if (record.messageRole !== undefined)
            detailLogWindow.showRecord(record, kestruneCore.recordNotice(tab.folderRole, tab.nameRole, row));
    }

    function closeTopmost() {
        if (finder.stop())
            return;
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

        listHasFocus: records.activeFocus
        rowsPerPage: Math.max(1, Math.floor(records.height / records.rowHeight))
        onMoveBy: (rows, extend) => records.moveByKeys(selection.selectedRow + rows, extend)
        onMoveToEnd: (last, extend) => records.moveByKeys(last ? records.sourceCount - 1 : 0,
                                                          extend)
        onShowDetails: root.showDetails(selection.selectedRow)
        onCopySelection: records.copyRows(selection.first, selection.last)
        onCloseTopmost: root.closeTopmost()
        onFind: backwards => backwards ? finder.findPreviousText(findNextPanel.findText)
                                       : finder.findText(findNextPanel.findText)
        onSwitchTab: step => tabs.switchBy(step)
        onToggleFollow: following.toggle()
        onCloseTab: {
            if (tabs.currentIndex >= 0)
                tabs.close(tabs.currentIndex);
        }
    }

    // Wherever the keyboard focus is, while the current tab loads.
    Shortcut {
        sequence: "Escape"
        enabled: tabs.currentLog !== null && tabs.currentLog.state === "loading"
        onActivated: tabs.stopCurrentLoad()
    }

    // The list lets go of the current log's rows while they change, and takes them back
    // once they have: after a load where the strip puts it, after a filter pass on the record
    // clicked last, as a filter change on the interface thread does.
    Connections {
        target: tabs.currentLog
        ignoreUnknownSignals: true

        function onRowsAboutToChange() {
            following.rememberPlace();
            if (records.model)
                root.disconnectModel();
            finder.forgetCount();
        }

        function onLoadFinished(reloaded) {
            if (root.detachedRows)
                root.connectModel();
            tabs.showLoaded(reloaded);
            finder.recount();
        }

        function onFiltered() {
            if (root.detachedRows)
                root.connectModel();
            root.restoreLineNumber();
            finder.recount();
        }

        function onRecordsArrived(count) {
            if (root.detachedRows) {
                records.showRecords(root.detachedRows);
                root.detachedRows = null;
            }
            following.keepPlace(count);
            finder.recount();
        }
    }

    FollowController {
        id: following

        list: records
        selection: selection
        log: tabs.currentLog
    }

    RecordSelection {
        id: selection
    }

    FindController {
        id: finder

        list: records
        selection: selection
        panel: findNextPanel
        log: tabs.currentLog
    }

    Rectangle {
        anchors.fill: parent
        color: kestruneCore.getStyle("textBackgroundColor", "#2b3033")
    }

    LogTabStrip {
        id: tabs

        list: records
        width: root.width
        onSearchClicked: root.openFindNextPanel()
    }

    LogNoticeLine {
        id: noticeLine

        log: tabs.currentLog
        hasTabs: tabs.count > 0
        anchors.top: tabs.bottom
        anchors.left: root.left
        anchors.right: root.right
    }

    ActiveFilterBar {
        id: filterBar

        objectName: "activeFilterBar"
        filter: root.logFilter
        anchors.top: noticeLine.bottom
        anchors.left: root.left
        anchors.right: root.right
        onClearRequested: root.clearFilterRequested()
    }

    RecordList {
        id: records

        selection: selection
        log: tabs.currentLog
        // Room above the first row for the find panel, so that no row has to stay under it.
        topMargin: findNextPanel.visible ? findNextPanel.height + 10 : 0
        anchors.top: filterBar.bottom
        anchors.left: root.left
        anchors.leftMargin: 5
        anchors.right: root.right
        anchors.bottom: statusLine.top
        onDetailsRequested: row => root.showDetails(row)
        onCopied: said => statusLine.tell(said)
    }

    RecordListPlaceholder {
        objectName: "recordListPlaceholder"
        anchors.fill: records
        log: tabs.currentLog
    }

    RecordStatusLine {
        id: statusLine

        log: tabs.currentLog
        newRecords: following.newRecords
        onFollowClicked: following.toggle()
        onNewRecordsClicked: following.showNewRecords()
        anchors.left: root.left
        anchors.right: root.right
        anchors.bottom: root.bottom
    }

    Button {
        id: btnToBottom

        objectName: "btnToBottom"
        width: 20
        height: 20
        // Below the end of the scroll bar, in the room that the rows leave free for it.
        anchors.bottom: statusLine.top
        anchors.bottomMargin: 12
        anchors.right: root.right
        anchors.rightMargin: 2
        text: "↓"
        font.family: GlobalFont.name
        font.pixelSize: 15
        font.bold: true
        hoverEnabled: true
        ToolTip.visible: hovered
        ToolTip.delay: 500
        ToolTip.text: qsTr("Show the last record")
        onClicked: records.showEnd()

        background: Rectangle {
            radius: 10
            color: "#e0e0e0"
        }
    }

    FindNextPanel {
        id: findNextPanel

        objectName: "findNextPanel"
        anchors.top: records.top
        anchors.topMargin: 5
        anchors.right: records.right
        anchors.rightMargin: 10
        visible: false
        countText: findText === finder.countedText ? finder.countText : ""
        onFindNext: str => finder.findText(str)
        onFindDate: str => finder.findDate(str)
        onClosePanel: visible = false
        // A hidden field must not keep the keys: they go back to the record list.
        onVisibleChanged: {
            if (!visible)
                records.forceActiveFocus();
        }
    }

    LogDetailWindow {
        id: detailLogWindow

        objectName: "detailLogWindow"
    }
}
