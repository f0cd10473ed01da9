import QtQuick
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 320
    height: 800

    FolderPanel {
        id: folderPanel

        anchors.fill: parent
    }

    SignalSpy {
        id: openSpy

        target: folderPanel
        signalName: "openFile"
    }

    SignalSpy {
        id: filterSpy

        target: folderPanel
        signalName: "containsAll"
    }

    TestCase {
        id: testCase

        function child(name, parentItem) {
            return findChild(parentItem || folderPanel, name);
        }

        function logButton(row) {
            const list = child("folderListView");
            list.forceLayout();
            return child("logButton", list.itemAtIndex(row));
        }

        name: "FolderPanel"
        when: windowShown

        function test_tabsSwitchPagesAndKeepWhatEachShows() {
            const files = child("filesTab");
            const filters = child("filtersTab");
            verify(files.visible && !filters.visible);
            verify(child("currentTabMark", child("btnFiles")).visible);
            verify(!child("currentTabMark", child("btnFilters")).visible);

            testSupport.generateLog("panel", "Panel", 1, 1000);
            testSupport.generateLog("panel", "Other", 1, 1000);
            testSupport.dragUrls(files, [testSupport.fileUrl(testSupport.path("panel")).toString()], true);
            mouseClick(logButton(1));
            compare(openSpy.count, 1);
            compare(openSpy.signalArguments[0][1], logButton(1).text);

            mouseClick(child("btnFilters"));
            verify(filters.visible && !files.visible);
            verify(child("currentTabMark", child("btnFilters")).visible);
            mouseClick(child("containsOnlyTextField"));
            keyClick("q");
            keyClick(Qt.Key_Return);
            mouseClick(child("btnMode"));
            compare(filterSpy.count, 1);
            compare(filterSpy.signalArguments[0][0], ["q"]);

            mouseClick(child("btnFiles"));
            verify(files.visible && logButton(1).selected && !logButton(0).selected);
            mouseClick(child("btnFilters"));
            compare(child("containsOnlyTextField").text, "q");
            compare(child("containsOnlyTitle").text, "Contains all");
        }
    }
}
