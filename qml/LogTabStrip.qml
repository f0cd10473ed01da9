import QtQuick
import QtQuick.Controls.Universal

// The tab strip of the file view with the loads of its logs: one tab per open log, each
// bound to the log's object from the core (its name, its progress bar), and the search
// button at the right. Opening, switching, reloading, stopping and closing go through here,
// and so does where the record list stands when the current log's load ends.
Rectangle {
    id: strip

    required property RecordList list
    // The filter that the window shows, which every log the strip opens or reloads takes.
    property var logFilter: ({
            "texts": [],
            "containsAll": false,
            "onlyErrors": false,
            "from": "",
            "to": ""
        })
    readonly property alias count: tabModel.count
    readonly property alias currentIndex: tabListView.currentIndex
    // The log of the current tab, or null without one.
    property var currentLog: null

    signal searchClicked

    // The element of a tab: folderRole, nameRole, visibleIndexRole and its log, logRole.
    function tab(index) {
        return index >= 0 && index < tabModel.count ? tabModel.get(index) : null;
    }

    // Shows the log in its tab, adding the tab and starting the load when it has none.
    function openFile(folder, name) {
        for (let i = 0; i < tabModel.count; ++i) {
            if (tab(i).folderRole === folder && tab(i).nameRole === name) {
                switchTo(i);
                return;
            }
        }
        tabModel.append({
                "folderRole": folder,
                "nameRole": name,
                "visibleIndexRole": 0,
                "logRole": openLog(folder, name)
            });
        switchTo(tabModel.count - 1);
    }

    // The log's object from the core, loading it in the background when it is not open.
    function openLog(folder, name) {
        return kestruneCore.openLogAsync(folder, name, logFilter.texts, logFilter.containsAll,
                                         logFilter.onlyErrors, logFilter.from, logFilter.to);
    }

    function switchTo(index) {
        if (tabModel.count === 0) {
            list.showRecords(null);
            return;
        }
        if (currentIndex >= 0)
            tabModel.setProperty(currentIndex, "visibleIndexRole", list.topRow());
        show(index);
    }

    // Makes the tab at index current, binds the list to its log's rows and puts its saved row
    // on top. A log that still loads shows its rows once they are there.
    function show(index) {
        tabListView.currentIndex = index;
        currentLog = tab(index).logRole;
        // A log closed from outside the window is opened again: the core keeps its object.
        if (currentLog.state === "closed" || currentLog.state === "cancelled")
            openLog(currentLog.folder, currentLog.name);
        list.showRecords(currentLog ? currentLog.rows : null);
        list.showAtTop(tab(index).visibleIndexRole);
        list.selection.forgetMarks();
    }

    // A load of the current log brought its rows: a first open shows its saved row, a reload
    // its end, under a filter with the record clicked last current where it passes. A failed
    // reload keeps the rows and the place as they were.
    function showLoaded(reloaded) {
        if (currentLog.state === "failed")
            return;
        const filtered = logFilter.onlyErrors || logFilter.texts.length > 0
                       || Boolean(logFilter.from || logFilter.to);
        const kept = filtered ? kestruneCore.getIndex(currentLog.folder, currentLog.name,
                                                      list.selection.currentLineNumber) : -1;
        list.showLoaded(reloaded, tab(currentIndex).visibleIndexRole, kept);
    }

    // F5: the log is read again while its rows stay; F5 while it loads changes nothing.
    function reloadCurrent() {
        if (currentLog)
            kestruneCore.reloadLogAsync(currentLog.folder, currentLog.name, logFilter.texts,
                                        logFilter.containsAll, logFilter.onlyErrors,
                                        logFilter.from, logFilter.to);
    }

    // Escape: a reload stops and keeps the rows it had, a first open closes its tab.
    function stopCurrentLoad() {
        if (!currentLog || currentLog.state !== "loading")
            return;
        if (currentLog.model)
            kestruneCore.cancelLoad(currentLog.folder, currentLog.name);
        else
            close(currentIndex);
    }

    // Closes a tab and its log in the background; the first tab becomes current.
    function close(index) {
        if (index !== currentIndex && currentIndex >= 0)
            tabModel.setProperty(currentIndex, "visibleIndexRole", list.topRow());
        // The core lets go of the closed log's rows at once: the list must not hold them.
        if (index === currentIndex)
            list.showRecords(null);
        kestruneCore.closeLogAsync(tab(index).folderRole, tab(index).nameRole);
        tabModel.remove(index);
        if (tabModel.count > 0) {
            show(0);
        } else {
            currentLog = null;
            list.showRecords(null);
        }
    }

    function switchBy(step) {
        if (tabModel.count > 1)
            switchTo((currentIndex + step + tabModel.count) % tabModel.count);
    }

    // Scrolls the strip sideways by a turn of the wheel, either way it turns.
    function scrollBy(delta) {
        const last = tabListView.originX + tabListView.contentWidth - tabListView.width;
        tabListView.contentX = Math.max(tabListView.originX,
                                        Math.min(tabListView.contentX - delta, last));
    }

    z: 1
    y: 1
    height: 50
    color: kestruneCore.getStyle("tabBackgroundColor", "#2b3033")

    ListModel {
        id: tabModel
    }

    ListView {
        id: tabListView

        objectName: "tabListView"
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.right: tabMenuButton.left
        anchors.rightMargin: 5
        // Tabs scrolled aside are not drawn over the buttons or the folder panel.
        clip: true
        orientation: ListView.Horizontal
        boundsBehavior: Flickable.StopAtBounds
        // Whoever makes a tab current, the strip shows it.
        onCurrentIndexChanged: positionViewAtIndex(currentIndex, ListView.Contain)
        model: tabModel
        delegate: FileTab {
            required property int index
            required property string nameRole
            required property var logRole

            width: 135
            height: 50
            text: nameRole
            progress: logRole && logRole.state === "loading"
                      ? logRole.bytesRead / Math.max(logRole.totalBytes, 1) : -1
            isCurrentIndex: tabListView.currentIndex === index
            onSwitchToTab: {
                strip.switchTo(index);
                tabListView.currentIndex = index;
            }
            onCloseTab: strip.close(index)
        }
    }

    MouseArea {
        objectName: "tabWheelArea"
        anchors.fill: tabListView
        acceptedButtons: Qt.NoButton
        onWheel: wheel => strip.scrollBy(wheel.angleDelta.y !== 0 ? wheel.angleDelta.y
                                                                   : wheel.angleDelta.x)
    }

    // Lists every tab, the current one in bold; choosing one shows it.
    CommonButton {
        id: tabMenuButton

        objectName: "tabMenuButton"
        width: 30
        height: 30
        anchors.verticalCenter: parent.verticalCenter
        anchors.right: searchButton.left
        anchors.rightMargin: 5
        borderWidth: 1
        text: "▾"
        visible: strip.count > 0
        onClicked: tabMenu.popup(tabMenuButton, 0, height)

        ToolTip.visible: hovered
        ToolTip.delay: 500
        ToolTip.text: qsTr("All tabs")
    }

    Menu {
        id: tabMenu

        objectName: "tabMenu"

        Instantiator {
            model: tabModel
            onObjectAdded: (index, item) => tabMenu.insertItem(index, item)
            onObjectRemoved: (index, item) => tabMenu.removeItem(item)

            delegate: MenuItem {
                required property int index
                required property string nameRole

                text: nameRole
                font.bold: index === strip.currentIndex
                onTriggered: strip.switchTo(index)
            }
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
        onClicked: strip.searchClicked()
    }
}
