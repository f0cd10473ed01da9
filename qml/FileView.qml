import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

// The open logs as tabs over the record list of the current tab, with the find panel,
// the jump-to-end button and the detail window. A line above the records says what the core
// has to say about the current log: why it could not be opened, that it has no records, or
// that a filter or search could not run.
FocusScope {
    id: root

    function openFile(folder, file) {
        for (let i = 0; i < tabModel.count; ++i) {
            const tab = tabModel.get(i);
            if (tab.folderRole === folder && tab.nameRole === file) {
                switchToFileTab(i);
                return;
            }
        }
        tabModel.append({
                "folderRole": folder,
                "nameRole": file,
                "visibleIndexRole": 0
            });
        switchToFileTab(tabListView.count - 1);
    }

    function switchToFileTab(index) {
        if (tabModel.count === 0) {
            logView.model = null;
            showStatus();
            return;
        }
        if (tabListView.currentIndex >= 0)
            tabModel.setProperty(tabListView.currentIndex, "visibleIndexRole", topRow());
        showTab(index);
    }

    function disconnectModel() {
        core.tempModel = logView.model;
        logView.model = null;
    }

    function connectModel() {
        logView.model = core.tempModel;
        core.tempModel = undefined;
        forgetRowMarks();
        showStatus();
    }

    function showStatus() {
        const tab = currentTab();
        statusText.text = tab ? kestruneCore.logStatus(tab.folderRole, tab.nameRole) : "";
    }

    function restoreLineNumber() {
        const tab = currentTab();
        if (!tab)
            return;
        selectAndCentre(kestruneCore.getIndex(tab.folderRole, tab.nameRole,
                                              core.currentLineNumber));
    }

    // Makes the tab at index current, binds the list to its log and puts its saved row on top.
    function showTab(index) {
        tabListView.currentIndex = index;
        const tab = tabModel.get(index);
        logView.model = kestruneCore.openLog(tab.folderRole, tab.nameRole);
        logView.positionViewAtIndex(tab.visibleIndexRole, ListView.Beginning);
        forgetRowMarks();
        showStatus();
    }

    function topRow() {
        const row = logView.indexAt(10, logView.contentY);
        return row < 0 ? 0 : row;
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
            logView.model = null;
        kestruneCore.closeLog(folder, name);
        tabModel.remove(index);
        if (tabModel.count === 0) {
            logView.model = null;
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
        // Detached first, so that the list never touches the model that closeLog destroys.
        logView.model = null;
        kestruneCore.closeLog(folder, name);
        logView.model = kestruneCore.openLog(folder, name);
        logView.positionViewAtEnd();
        // The row shown is the current one, so that the keys go on from there.
        logView.currentIndex = logView.count - 1;
        forgetRowMarks();
        showStatus();
    }

    function openFindNextPanel() {
        findNextPanel.visible = !findNextPanel.visible;
        if (findNextPanel.visible)
            findNextPanel.setFocusOnTextField();
    }

    function findText(str) {
        const tab = currentTab();
        if (!tab)
            return;
        const from = logView.currentIndex;
        const row = kestruneCore.findNext(tab.folderRole, tab.nameRole, from + 1, str);
        showFound(row, str, row >= 0 && row <= from);
        showStatus();
    }

    // The search backwards from the row above the current one, wrapping at the top.
    function findPreviousText(str) {
        const tab = currentTab();
        if (!tab)
            return;
        const from = logView.currentIndex < 0 ? logView.count : logView.currentIndex;
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
        logView.currentIndex = row;
        if (row >= 0)
            logView.positionViewAtIndex(row, ListView.Center);
    }

    // Makes row (kept inside the list) current and scrolls it just into view; with extend,
    // the selection reaches from where it began to there.
    function moveTo(row, extend) {
        if (logView.count === 0)
            return;
        if (!extend)
            core.selectionAnchor = -1;
        else if (core.selectionAnchor < 0)
            core.selectionAnchor = Math.max(logView.currentIndex, 0);
        const target = Math.max(0, Math.min(row, logView.count - 1));
        logView.currentIndex = target;
        logView.positionViewAtIndex(target, ListView.Contain);
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
        onMoveBy: (rows, extend) => root.moveTo(logView.currentIndex + rows, extend)
        onMoveToEnd: (last, extend) => root.moveTo(last ? logView.count - 1 : 0, extend)
        onShowDetails: root.showDetails(logView.currentIndex)
        onCopySelection: root.copyRows(core.selectionFirst, core.selectionLast)
        onCloseTopmost: root.closeTopmost()
        onFind: backwards => backwards ? root.findPreviousText(findNextPanel.findText)
                                       : root.findText(findNextPanel.findText)
        onSwitchTab: step => root.switchTabBy(step)
        onCloseTab: root.closeCurrentTab()
    }

    QtObject {
        id: core

        property var tempModel: undefined
        property int currentLineNumber: 0
        // The other end of a selected range of rows, -1 when only the current row is.
        property int selectionAnchor: -1
        readonly property int selectionFirst: selectionAnchor < 0
                                              ? logView.currentIndex
                                              : Math.min(selectionAnchor, logView.currentIndex)
        readonly property int selectionLast: Math.max(selectionAnchor, logView.currentIndex)
        // The row that the last text search found, and the text it found there.
        property int foundRow: -1
        property string foundText: ""
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

                width: 135
                height: 50
                text: nameRole
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
        anchors.bottom: root.bottom

        delegate: LogDelegate {
            required property int index
            required property string dateTimeRole
            required property string logTypeRole
            required property string threadIDRole
            required property string moduleNameRole
            required property string messageRole
            required property int lineRole

            width: logView.width
            height: 30
            dateTime: dateTimeRole
            message: messageRole
            moduleName: moduleNameRole
            threadID: threadIDRole
            logType: logTypeRole
            line: index
            selected: index >= core.selectionFirst && index <= core.selectionLast
            matchText: index === core.foundRow ? core.foundText : ""
            onClicked: {
                root.moveTo(index, false);
                core.currentLineNumber = lineRole;
                // The list, not the row: a row scrolled out of view is destroyed.
                logView.forceActiveFocus();
            }
            onShiftClicked: {
                root.moveTo(index, true);
                logView.forceActiveFocus();
            }
            onDoubleClicked: {
                logView.currentIndex = index;
                root.showDetails(index);
            }
            onMenuRequested: {
                rowMenu.row = index;
                rowMenu.popup();
            }
        }

        ScrollBar.vertical: VerticalScrollBar {
            attachedView: logView
        }
    }

    Button {
        id: btnToBottom

        objectName: "btnToBottom"
        width: 20
        height: 20
        anchors.bottom: root.bottom
        anchors.bottomMargin: 15
        anchors.right: root.right
        anchors.rightMargin: 15
        text: "↓"
        font.family: GlobalFont.name
        font.pixelSize: 15
        font.bold: true
        onClicked: logView.positionViewAtEnd()

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
