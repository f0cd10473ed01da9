import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

// The open logs as tabs over the record list of the current tab, with the find panel,
// the jump-to-end button and the detail window. A line above the records says what the core
// has to say about the current log: why it could not be opened, that it has no records, or
// that a filter or search could not run.
FocusScope {
    id: root

    // The filter that the window shows: texts, how they combine and the errors-only switch.
    // The core opens a log unfiltered; the view brings every log it opens to this filter.
    property var logFilter: ({
            "texts": [],
            "containsAll": false,
            "onlyErrors": false
        })

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
        showStatus();
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
        logView.model = openFilteredLog(tab.folderRole, tab.nameRole);
        logView.positionViewAtIndex(tab.visibleIndexRole, ListView.Beginning);
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
        logView.model = openFilteredLog(folder, name);
        logView.positionViewAtEnd();
        // Under a filter a reload ends as a filter change does, on the record clicked last.
        if (isFiltered() && kestruneCore.getIndex(folder, name, core.currentLineNumber) >= 0)
            restoreLineNumber();
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
        selectAndCentre(kestruneCore.findNext(tab.folderRole, tab.nameRole,
                                              logView.currentIndex + 1, str));
        showStatus();
    }

    function findDate(str) {
        const tab = currentTab();
        if (!tab)
            return;
        selectAndCentre(kestruneCore.findDate(tab.folderRole, tab.nameRole, str));
    }

    function selectAndCentre(row) {
        logView.currentIndex = row;
        if (row >= 0)
            logView.positionViewAtIndex(row, ListView.Center);
    }

    Component.onCompleted: showStatus()

    // The keys are left unaccepted so that they travel on to the main panel's zoom keys.
    Keys.onPressed: event => {
        if (event.key === Qt.Key_F && (event.modifiers & Qt.ControlModifier))
            openFindNextPanel();
        else if (event.key === Qt.Key_F5)
            reload();
        event.accepted = false;
    }

    QtObject {
        id: core

        property var tempModel: undefined
        property int currentLineNumber: 0
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
            textFormat: Text.PlainText
            font.family: GlobalFont.name
            font.pixelSize: 14
            color: "#ffd27f"
        }
    }

    ListView {
        id: logView

        objectName: "logView"
        anchors.top: statusBar.bottom
        anchors.left: root.left
        anchors.leftMargin: 5
        anchors.right: root.right
        anchors.bottom: root.bottom

        delegate: LogDelegate {
            id: row

            required property int index
            required property string dateTimeRole
            required property string logTypeRole
            required property string threadIDRole
            required property string moduleNameRole
            required property string cppFileNameRole
            required property string cppLineRole
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
            selected: logView.currentIndex === index
            onClicked: {
                logView.currentIndex = index;
                core.currentLineNumber = lineRole;
                row.forceActiveFocus();
            }
            onDoubleClicked: {
                logView.currentIndex = index;
                detailLogWindow.show();
                detailLogWindow.dateTime = dateTimeRole;
                detailLogWindow.logType = logTypeRole;
                detailLogWindow.threadID = threadIDRole;
                detailLogWindow.moduleName = moduleNameRole;
                detailLogWindow.cppFileName = cppFileNameRole;
                detailLogWindow.cppLine = cppLineRole;
                detailLogWindow.message = messageRole;
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
        // A hidden field must not keep the keys: they go back to the record list.
        onVisibleChanged: {
            if (!visible)
                logView.forceActiveFocus();
        }
    }

    LogDetailWindow {
        id: detailLogWindow

        objectName: "detailLogWindow"
    }
}
