import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

// The open logs as tabs over the record list of the current tab, with the find panel,
// the jump-to-end button and the detail window. A line above the records says what the core
// has to say about the current log: why it could not be opened, that it has no records, or
// that a filter or search could not run. A line below them counts the records and shows how
// far a load has got.
FocusScope {
    id: root

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

    function showStatus() {
        const tab = currentTab();
        statusText.text = tab ? kestruneCore.logStatus(tab.folderRole, tab.nameRole) : "";
        recordStatus.text = tab ? recordStatusOf(tab) : "";
        core.currentTabLoads = tab !== null && tab.loadRole !== "";
    }

    // "1,204 of 3,927,867 records", whether a filter hides any, how far a load has got
    // and how long the last one took.
    function recordStatusOf(tab) {
        const parts = [];
        const counts = kestruneCore.logRecordCounts(tab.folderRole, tab.nameRole);
        if (counts.total !== undefined) {
            parts.push(qsTr("%1 of %2 records").arg(grouped(counts.shown)).arg(grouped(counts.total)));
            if (counts.filtered)
                parts.push(qsTr("filter active"));
        }
        if (filterPending)
            parts.push(qsTr("filtering…"));
        if (tab.loadRole !== "") {
            const what = tab.loadRole === "reload" ? qsTr("reloading") : qsTr("loading");
            const percent = Math.floor(100 * tab.bytesReadRole / Math.max(tab.totalBytesRole, 1));
            const megabytes = bytes => grouped(bytes / 1048576);
            parts.push(qsTr("%1 %2% (%3 of %4 MiB)").arg(what).arg(percent).arg(megabytes(tab.bytesReadRole)).arg(megabytes(tab.totalBytesRole)));
            // Merging and building the models follow the reading.
            if (tab.totalBytesRole > 0 && tab.bytesReadRole >= tab.totalBytesRole)
                parts.push(qsTr("building the list"));
        } else if (tab.openTimeRole >= 0) {
            parts.push(qsTr("opened in %1 s").arg((tab.openTimeRole / 1000).toFixed(1)));
        }
        return parts.join(" · ");
    }

    function grouped(number) {
        return Number(Math.round(number)).toLocaleString(Qt.locale("en_US"), "f", 0);
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
        if (workInBackground && kestruneCore.openLogAsync(tab.folderRole, tab.nameRole)) {
            if (tab.loadRole === "")
                tabModel.setProperty(index, "loadRole", "open");
            logView.model = null;
        } else {
            logView.model = kestruneCore.openLog(tab.folderRole, tab.nameRole);
        }
        logView.positionViewAtIndex(tab.visibleIndexRole, ListView.Beginning);
        showStatus();
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
    function finishLoad(folder, name, opened, milliseconds) {
        const index = tabIndex(folder, name);
        if (index < 0)
            return;
        const reloaded = tabModel.get(index).loadRole === "reload";
        tabModel.setProperty(index, "loadRole", "");
        tabModel.setProperty(index, "openTimeRole", opened ? milliseconds : -1);
        if (index !== tabListView.currentIndex)
            return;
        logView.model = opened ? kestruneCore.openLog(folder, name) : null;
        if (reloaded)
            logView.positionViewAtEnd();
        else
            logView.positionViewAtIndex(tabModel.get(index).visibleIndexRole, ListView.Beginning);
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
        closeLogOf(folder, name);
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
        if (workInBackground) {
            // A reload that is running already goes on; the rows stay until the new ones come.
            if (tab.loadRole === "" && kestruneCore.reloadLogAsync(folder, name)) {
                const open = kestruneCore.logRecordCounts(folder, name).total !== undefined;
                tabModel.setProperty(tabListView.currentIndex, "loadRole", open ? "reload" : "open");
            }
            showStatus();
            return;
        }
        // Detached first, so that the list never touches the model that closeLog destroys.
        logView.model = null;
        kestruneCore.closeLog(folder, name);
        logView.model = kestruneCore.openLog(folder, name);
        logView.positionViewAtEnd();
        showStatus();
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
        if (!kestruneCore.searchTextsReady()) {
            core.pendingFind = str;
            searchTextsWait.start();
            return;
        }
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

    // The keys are left unaccepted so that they travel on to the main panel's zoom keys.
    Keys.onPressed: event => {
        if (event.key === Qt.Key_F && (event.modifiers & Qt.ControlModifier))
            openFindNextPanel();
        else if (event.key === Qt.Key_F5)
            reload();
        event.accepted = false;
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
        onTriggered: root.findText(core.pendingFind)
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
    }

    QtObject {
        id: core

        property var tempModel: undefined
        property int currentLineNumber: 0
        property bool currentTabLoads: false
        property string pendingFind: ""
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
        anchors.bottom: statusLine.top
        onCountChanged: root.showStatus()

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

    Rectangle {
        id: statusLine

        anchors.left: root.left
        anchors.right: root.right
        anchors.bottom: root.bottom
        height: 24
        color: kestruneCore.getStyle("tabBackgroundColor", "#2b3033")

        Text {
            id: recordStatus

            objectName: "recordStatus"
            anchors.fill: parent
            leftPadding: 8
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            font.family: GlobalFont.name
            font.pixelSize: 13
            color: "#ffffff"
        }
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

    LogDetailWindow {
        id: detailLogWindow

        objectName: "detailLogWindow"
    }
}
