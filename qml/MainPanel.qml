import QtQuick
import QtQuick.Controls

FocusScope {
    id: mainPanel

    readonly property real minimumScale: 0.4
    readonly property real maximumScale: 3.0
    readonly property real scaleStep: 0.2

    // A scale from the settings as a usable zoom: anything but a number gives 1.0, and a
    // number outside the bounds is brought into them, so the panel never collapses.
    function boundedScale(value) {
        const text = String(value).trim();
        const number = Number(text);
        if (text === "" || !isFinite(number))
            return 1.0;
        return Math.min(maximumScale, Math.max(minimumScale, number));
    }

    function zoom(step) {
        // Rounded to hundredths, so repeated steps do not drift away from the bounds.
        scale = boundedScale(Math.round((scale + step) * 100) / 100);
    }

    // The record list lets go of its model while the core filters, then selects again the
    // record clicked last. The file view keeps the filter for the logs it opens later. Until
    // the open logs' search texts are built the change waits without blocking the window, and
    // a newer change takes its place. Working in the background, the file view has the pass
    // run on a worker while the list keeps its rows.
    function changeFilter(change, applyInCore) {
        fileView.logFilter = Object.assign({}, fileView.logFilter, change);
        pendingFilter = applyInCore;
        fileView.filterPending = true;
        applyPendingFilter();
    }

    function applyPendingFilter() {
        if (!kestruneCore.searchTextsReady()) {
            searchTextsWait.start();
            return;
        }
        const applyInCore = pendingFilter;
        pendingFilter = null;
        if (fileView.workInBackground) {
            fileView.filterInBackground();
            return;
        }
        fileView.filterPending = false;
        fileView.disconnectModel();
        applyInCore();
        fileView.connectModel();
        fileView.restoreLineNumber();
    }

    property var pendingFilter: null

    width: 100
    height: 100

    Keys.onPressed: event => {
        if ((event.modifiers & Qt.ControlModifier) && event.key === Qt.Key_Plus)
            mainPanel.zoom(mainPanel.scaleStep);
        if ((event.modifiers & Qt.ControlModifier) && event.key === Qt.Key_Minus)
            mainPanel.zoom(-mainPanel.scaleStep);
    }

    Timer {
        id: searchTextsWait

        interval: 20
        onTriggered: mainPanel.applyPendingFilter()
    }

    SplitView {
        id: splitView

        objectName: "splitView"
        anchors.fill: parent
        orientation: Qt.Horizontal

        handle: Rectangle {
            implicitWidth: 3
            implicitHeight: 3
            color: SplitHandle.pressed ? "#1d6591" : (SplitHandle.hovered ? Qt.lighter("#1d6591", 1.1) : "#111111")
        }

        FolderPanel {
            id: folderPanel

            objectName: "folderPanel"
            SplitView.preferredWidth: 320
            SplitView.minimumWidth: 100
            SplitView.maximumWidth: 500
            onOpenFile: (folder, file) => fileView.openFile(folder, file)
            onContainsOnly: filters => mainPanel.changeFilter({
                    "texts": filters,
                    "containsAll": false
                }, () => kestruneCore.containsOnly(filters))
            onContainsAll: filters => mainPanel.changeFilter({
                    "texts": filters,
                    "containsAll": true
                }, () => kestruneCore.containsAll(filters))
            onShowOnlyErrors: onlyErrors => mainPanel.changeFilter({
                    "onlyErrors": onlyErrors
                }, () => kestruneCore.showOnlyErrors(onlyErrors))
        }

        FileView {
            id: fileView

            objectName: "fileView"
        }
    }
}
