import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Rectangle {
    id: folderPanel

    signal openFile(string folder, string file)
    signal containsOnly(var filters)
    signal containsAll(var filters)
    signal showOnlyErrors(bool onlyErrors)
    signal dateRange(string from, string to)

    // Shows the folder list and asks for a folder to add.
    function chooseFolder() {
        bar.currentIndex = 0;
        filesTab.chooseFolder();
    }

    function clearFilters() {
        filtersTab.clearFilters();
    }

    color: kestruneCore.getStyle("folderViewBackgroundColor", "#34393d")

    TabBar {
        id: bar

        objectName: "folderTabBar"
        anchors.top: parent.top
        anchors.topMargin: 15
        anchors.left: parent.left
        anchors.right: parent.right
        height: 50
        background: null

        FolderTabButton {
            id: btnFiles

            objectName: "btnFiles"
            text: qsTr("Files")
        }

        FolderTabButton {
            id: btnFilters

            objectName: "btnFilters"
            text: qsTr("Filters")
        }
    }

    StackLayout {
        anchors.top: bar.bottom
        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        currentIndex: bar.currentIndex

        FolderView {
            id: filesTab

            objectName: "filesTab"
            Layout.fillWidth: true
            Layout.fillHeight: true
            onOpenFile: (folder, file) => folderPanel.openFile(folder, file)
        }

        FilterView {
            id: filtersTab

            objectName: "filtersTab"
            Layout.fillWidth: true
            Layout.fillHeight: true
            onContainsOnly: filters => folderPanel.containsOnly(filters)
            onContainsAll: filters => folderPanel.containsAll(filters)
            onShowOnlyErrors: onlyErrors => folderPanel.showOnlyErrors(onlyErrors)
            onDateRange: (from, to) => folderPanel.dateRange(from, to)
        }
    }
}
