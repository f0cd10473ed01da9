import QtQuick
import QtQuick.Controls

FocusScope {
    id: mainPanel

    readonly property real minimumScale: 0.4
    readonly property real maximumScale: 3.0
    readonly property real scaleStep: 0.2
    // The name of the current tab's log, empty without a tab.
    readonly property string currentLogName: fileView.currentLog ? fileView.currentLog.name : ""
    // The record list keeps this width, as far as it can: the folder panel gives way to it.
    readonly property real leastFileViewWidth: 480

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

    // Ctrl+0: back to the zoom that the window started with.
    function resetZoom() {
        scale = boundedScale(kestruneCore.getSetting("scale", 1.0));
    }

    // Every open log takes the filter in the background while the record list keeps its
    // rows; the file view then selects again the record clicked last. The file view keeps the
    // filter for the logs it opens or reloads later.
    function changeFilter(change) {
        fileView.logFilter = Object.assign({}, fileView.logFilter, change);
        fileView.filterInBackground();
    }

    width: 100
    height: 100

    // A log named alone on the command line opens at once.
    Component.onCompleted: {
        const log = kestruneCore.startLog();
        if (log.name !== undefined)
            fileView.openFile(log.folder, log.name);
    }

    // Wherever the keyboard focus is in the window.
    Shortcut {
        sequence: StandardKey.Open
        onActivated: folderPanel.chooseFolder()
    }

    Shortcut {
        sequence: "Ctrl+Q"
        onActivated: Qt.quit()
    }

    Keys.onPressed: event => {
        if ((event.modifiers & Qt.ControlModifier) && event.key === Qt.Key_Plus)
            mainPanel.zoom(mainPanel.scaleStep);
        if ((event.modifiers & Qt.ControlModifier) && event.key === Qt.Key_Minus)
            mainPanel.zoom(-mainPanel.scaleStep);
        if ((event.modifiers & Qt.ControlModifier) && event.key === Qt.Key_0)
            mainPanel.resetZoom();
    }

    onScaleChanged: zoomLevel.showFor(scale)

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
            SplitView.maximumWidth: Math.max(100, Math.min(500, mainPanel.width - mainPanel.leastFileViewWidth))
            onOpenFile: (folder, file) => fileView.openFile(folder, file)
            onContainsOnly: filters => mainPanel.changeFilter({
                    "texts": filters,
                    "containsAll": false
                })
            onContainsAll: filters => mainPanel.changeFilter({
                    "texts": filters,
                    "containsAll": true
                })
            onShowOnlyErrors: onlyErrors => mainPanel.changeFilter({
                    "onlyErrors": onlyErrors
                })
            onDateRange: (from, to) => mainPanel.changeFilter({
                    "from": from,
                    "to": to
                })
        }

        FileView {
            id: fileView

            objectName: "fileView"
            onClearFilterRequested: folderPanel.clearFilters()
        }
    }

    // The zoom just chosen, for a moment, drawn at the same size whatever the zoom.
    Label {
        id: zoomLevel

        function showFor(zoom) {
            text = qsTr("Zoom %1 %").arg(Math.round(zoom * 100));
            visible = true;
            hideTimer.restart();
        }

        objectName: "zoomLevel"
        anchors.centerIn: parent
        scale: 1 / mainPanel.scale
        visible: false
        padding: 12
        color: "#ffffff"
        font.pixelSize: 20

        background: Rectangle {
            color: "#cc111111"
            radius: 6
        }

        Timer {
            id: hideTimer

            interval: 1200
            onTriggered: zoomLevel.visible = false
        }
    }
}
