import QtQuick
import QtQuick.Window
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 1200
    height: 800

    MainPanel {
        id: mainPanel

        anchors.fill: parent
    }

    TestCase {
        id: testCase

        function child(name) {
            return findChild(mainPanel, name);
        }

        function focusFilterView() {
            mouseClick(child("btnFilters"));
            mouseClick(child("filtersTab"), child("filtersTab").width / 2, 420);
            verify(child("focusCatcher").activeFocus);
        }

        function record(time, message) {
            return "<HEAD>[42]2023/02/28 " + time + " <LN>Info</LN> <TID>7</TID> <MNAME>Gateway</MNAME> <FILE>g.cpp</FILE> <LINE>3</LINE>\n<CONT>" + message + "</CONT>\n";
        }

        function rowShowing(message) {
            const list = child("logView");
            list.forceLayout();
            const rows = list.contentItem.children;
            for (let i = 0; i < rows.length; ++i) {
                if (rows[i].visible && rows[i].message === message)
                    return rows[i];
            }
            return null;
        }

        name: "MainPanel"
        when: windowShown

        // Runs first (sorted by name), while the split has its start width.
        function test_a_filterChangeSelectsTheClickedRecordAgain() {
            const list = child("logView");
            child("filtersTab").showOnlyErrors(true);
            compare(list.count, 0);
            child("filtersTab").showOnlyErrors(false);

            testSupport.writeFile("gateway/Gateway_1.log", record("10:00:00.000", "alpha one") + record("10:00:01.000", "beta two") + record("10:00:02.000", "alpha three") + record("10:00:03.000", "gamma four"));
            testSupport.dragUrls(child("filesTab"), [testSupport.fileUrl(testSupport.path("gateway")).toString()], true);
            tryCompare(child("folderListView"), "count", 1);
            child("folderListView").forceLayout();
            mouseClick(findChild(child("folderListView").itemAtIndex(0), "logButton"));
            tryCompare(list, "count", 4);
            mouseClick(rowShowing("alpha three"));
            compare(list.currentIndex, 2);

            mouseClick(child("btnFilters"));
            mouseClick(child("containsOnlyTextField"));
            for (const character of "ALPHA")
                keyClick(character);
            keyClick(Qt.Key_Return);
            tryCompare(list, "count", 2);
            compare(list.currentIndex, 1);
            verify(rowShowing("alpha three").selected);

            child("filtersTab").containsAll(["alpha", "gamma"]);
            tryCompare(list, "count", 0);
            compare(list.currentIndex, -1);
            child("filtersTab").containsOnly(["beta", "three"]);
            tryCompare(list, "count", 2);
            compare(list.currentIndex, 1);
        }

        // Runs second, on the log and the texts that the first test left: the time range
        // narrows them, both bounds kept, and the status line names it.
        function test_b_timeRangeFieldsFilterTheLog() {
            const list = child("logView");
            mouseClick(child("btnFilters"));
            tryCompare(list, "count", 2);
            mouseClick(child("toField"));
            for (const character of "2023/02/28 10:00:01")
                keyClick(character);
            keyClick(Qt.Key_Return);
            tryCompare(list, "count", 1);
            verify(rowShowing("beta two"));
            verify(child("recordStatus").text.indexOf("filter active to 2023/02/28 10:00:01") >= 0);
            child("toField").clear();
            mouseClick(child("fromField"));
            for (const character of "2023/02/28 10:00:02.000")
                keyClick(character);
            keyClick(Qt.Key_Return);
            tryVerify(() => rowShowing("alpha three") !== null);
            compare(list.count, 1);
            child("filtersTab").containsOnly([]);
            tryCompare(list, "count", 2);
            compare(mainPanel.currentLogName, "Gateway");
        }

        function test_settingBecomesUsableScale_data() {
            return [
                { tag: "number", value: 1.25, scale: 1.25 },
                { tag: "text", value: "1.25", scale: 1.25 },
                { tag: "too large", value: "10", scale: 3.0 },
                { tag: "too small", value: "0.1", scale: 0.4 },
                { tag: "negative", value: -2, scale: 0.4 },
                { tag: "not a number", value: "large", scale: 1.0 },
                { tag: "empty", value: "", scale: 1.0 },
                { tag: "list", value: ["1", "25"], scale: 1.0 }
            ];
        }

        function test_settingBecomesUsableScale(data) {
            compare(mainPanel.boundedScale(data.value), data.scale);
        }

        function test_zoomKeysWithControlWithinBounds() {
            mainPanel.scale = 1.0;
            focusFilterView();
            keyClick(Qt.Key_Plus, Qt.ControlModifier);
            keyClick(Qt.Key_Plus, Qt.ControlModifier);
            compare(mainPanel.scale, 1.4);
            keyClick(Qt.Key_Equal, Qt.ControlModifier);
            keyClick(Qt.Key_Plus);
            compare(mainPanel.scale, 1.4);
            keyClick(Qt.Key_Minus, Qt.ControlModifier | Qt.KeypadModifier);
            compare(mainPanel.scale, 1.2);
            for (let i = 0; i < 10; ++i)
                keyClick(Qt.Key_Minus, Qt.ControlModifier);
            compare(mainPanel.scale, 0.4);
            for (let i = 0; i < 15; ++i)
                keyClick(Qt.Key_Plus, Qt.ControlModifier);
            compare(mainPanel.scale, 3.0);
            // Ctrl+0 goes back to the setting's zoom (none here: 1.0), and each change of
            // zoom shows its level for a moment.
            keyClick(Qt.Key_0, Qt.ControlModifier);
            compare(mainPanel.scale, 1.0);
            const level = child("zoomLevel");
            verify(level.visible);
            compare(level.text, "Zoom 100 %");
            tryVerify(() => !level.visible);
            keyClick(Qt.Key_Minus, Qt.ControlModifier);
            verify(level.visible);
            compare(level.text, "Zoom 80 %");
            // Drawn at the same size whatever the zoom.
            compare(level.scale * mainPanel.scale, 1);
            mainPanel.scale = 1.0;
        }

        // A narrow window takes width from the folder panel before the record list, and the
        // main window opens no larger than the screen leaves free.
        function test_z_folderPanelGivesWayInNarrowWindows() {
            const panel = child("folderPanel");
            const fileView = child("fileView");
            mouseDrag(child("splitView"), panel.width + 1, 400, 600, 0);
            compare(panel.width, 500);
            root.width = 700;
            tryCompare(panel, "width", 220);
            compare(fileView.width, 700 - 220 - 3);
            root.width = 400;
            tryCompare(panel, "width", 100);
            root.width = 1200;

            const component = Qt.createComponent("qrc:/Kestrune/qml/main.qml");
            const window = component.createObject(null);
            verify(window);
            verify(window.width <= Screen.desktopAvailableWidth && window.width > 0);
            verify(window.height <= Screen.desktopAvailableHeight && window.height > 0);
            compare(window.width, Math.min(1536, Screen.desktopAvailableWidth));
            window.destroy();
        }

        function test_dividerStaysBetween100And500() {
            const panel = child("folderPanel");
            compare(panel.width, 320);
            const split = child("splitView");
            mouseDrag(split, 321, 400, 400, 0);
            compare(panel.width, 500);
            mouseDrag(split, panel.width + 1, 400, -600, 0);
            compare(panel.width, 100);
        }
    }
}
