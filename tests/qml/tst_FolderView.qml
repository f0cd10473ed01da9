import QtQuick
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 320
    height: 700

    FolderView {
        id: folderView

        anchors.fill: parent
    }

    TextMetrics {
        id: metrics
    }

    SignalSpy {
        id: openSpy

        target: folderView
        signalName: "openFile"
    }

    SignalSpy {
        id: scanSpy

        target: kestruneCore.folderScanModel()
        signalName: "scanFinished"
    }

    TestCase {
        id: testCase

        function child(name, parentItem) {
            return findChild(parentItem || folderView, name);
        }

        function list() {
            return child("folderListView");
        }

        function logButton(row) {
            list().forceLayout();
            return child("logButton", list().itemAtIndex(row));
        }

        function headerTexts() {
            const texts = [];
            const items = list().contentItem.children;
            for (let i = 0; i < items.length; ++i) {
                const header = findChild(items[i], "folderHeaderText");
                if (header && items[i].visible)
                    texts.push(header.text);
            }
            return texts.sort();
        }

        function addFolders(names) {
            const urls = names.map(name => testSupport.fileUrl(testSupport.generateLog(name, name + "Log", 2, 2000)).toString());
            testSupport.dragUrls(folderView, urls, true);
        }

        // The line under the header of a folder that has rows.
        function noticeUnderHeader(folder) {
            list().positionViewAtEnd();
            list().forceLayout();
            const items = list().contentItem.children;
            for (let i = 0; i < items.length; ++i) {
                const header = findChild(items[i], "folderHeaderText");
                if (header && items[i].visible && header.text === folder)
                    return findChild(items[i], "folderNotice");
            }
            return null;
        }

        function dropFolder(folder) {
            testSupport.dragUrls(folderView, [testSupport.fileUrl(folder).toString()], true);
        }

        name: "FolderView"
        when: windowShown

        // Runs first (sorted by name): the view starts without rows.
        function test_a_hintUntilRowsArriveAndDropsKeepTheirOrder() {
            compare(list().count, 0);
            verify(child("dropHint").visible);
            addFolders(["first", "second"]);
            tryCompare(list(), "count", 2);
            list().forceLayout();
            verify(!child("dropHint").visible);
            verify(!child("dropOverlay").visible);
            compare(list().itemAtIndex(0).nameRole, "firstLog");
            compare(list().itemAtIndex(1).nameRole, "secondLog");
            verify(list().itemAtIndex(0).folderRole.endsWith("/first"));
            compare(headerTexts(), [list().itemAtIndex(0).folderRole, list().itemAtIndex(1).folderRole].sort());
        }

        function test_b_dragOverShowsHintAndOverlay() {
            testSupport.dragUrls(folderView, [testSupport.fileUrl(testSupport.path()).toString()], false);
            verify(child("dropHint").visible);
            verify(child("dropOverlay").visible);
            testSupport.leaveDrag(folderView);
            verify(!child("dropOverlay").visible);
            compare(child("dropHint").visible, list().count === 0);
        }

        function test_c_clickOpensTheLogAndMovesTheSelection() {
            openSpy.clear();
            mouseClick(logButton(1));
            compare(openSpy.count, 1);
            compare(openSpy.signalArguments[0][0], list().itemAtIndex(1).folderRole);
            compare(openSpy.signalArguments[0][1], "secondLog");
            verify(logButton(1).selected);
            verify(!logButton(0).selected);
            mouseClick(logButton(0));
            compare(openSpy.signalArguments[1][1], "firstLog");
            verify(logButton(0).selected && !logButton(1).selected);
        }

        function test_d_quickLinksToMissingFoldersAddNothing() {
            const rows = list().count;
            mouseClick(child("btnMyClient"));
            mouseClick(child("btnMyServer"));
            compare(list().count, rows);
            verify(!child("dropHint").visible);
        }

        // Until its rows come, a folder shows its header and how far its scan has got.
        function test_f_scanLineUntilTheRowsCome() {
            const rows = list().count;
            const folder = testSupport.generateLog("third", "thirdLog", 2, 2000);
            scanSpy.clear();
            dropFolder(folder);
            compare(folderView.scans.count, 1);
            verify(folderView.scans.scanning);
            compare(child("scanHeaderText", list().footerItem).text, folder);
            verify(/^scanning… [0-9,]+ files?$/.test(child("scanNotice", list().footerItem).text));
            tryCompare(list(), "count", rows + 1);
            compare(folderView.scans.count, 0);
            compare(scanSpy.count, 1);
            compare(scanSpy.signalArguments[0][0], folder);
            verify(scanSpy.signalArguments[0][1]);
            compare(noticeUnderHeader(folder).visible, false);
        }

        function test_g_escapeCancelsTheScan() {
            const rows = list().count;
            const folder = testSupport.generateLog("fourth", "fourthLog", 1, 2000);
            scanSpy.clear();
            dropFolder(folder);
            verify(folderView.scans.scanning);
            // Before the event loop runs again, the scan cannot have added its rows.
            keyClick(Qt.Key_Escape);
            compare(folderView.scans.count, 0);
            verify(!folderView.scans.scanning);
            tryCompare(scanSpy, "count", 1);
            compare(scanSpy.signalArguments[0][0], folder);
            verify(!scanSpy.signalArguments[0][1]);
            compare(list().count, rows);
        }

        // What a scan passed over shows under its folder's header, or, for a folder without
        // logs, under a header of its own below the rows. Runs last: that header stays.
        function test_h_noticeOfSkippedNames() {
            testSupport.writeFile("latin/Good_1.log", "");
            if (!testSupport.writeLatin1NamedFile("latin", "Café_1.log"))
                skip("file names are not bytes on this system");
            verify(testSupport.writeLatin1NamedFile("latinOnly", "Café_2.log"));
            const rows = list().count;
            scanSpy.clear();
            testSupport.dragUrls(folderView, [testSupport.fileUrl(testSupport.path("latin")).toString(), testSupport.fileUrl(testSupport.path("latinOnly")).toString()], true);
            tryCompare(scanSpy, "count", 2);
            compare(list().count, rows + 1);
            const skipped = "1 file with a name that is not UTF-8 was skipped";
            const notice = noticeUnderHeader(testSupport.path("latin"));
            compare(notice.text, skipped);
            verify(notice.visible);
            compare(folderView.scans.count, 1);
            verify(!folderView.scans.scanning);
            compare(child("scanHeaderText", list().footerItem).text, testSupport.path("latinOnly"));
            compare(child("scanNotice", list().footerItem).text, skipped);
            verify(!child("dropHint").visible);
        }

        // Folder and log names are shown as written, whatever markup they hold.
        function test_e_namesShownAsWritten() {
            const folder = testSupport.generateLog("<b>x &amp; y", "<i>Web", 1, 500);
            testSupport.dragUrls(folderView, [testSupport.fileUrl(folder).toString()], true);
            tryCompare(list(), "count", 3);
            const button = logButton(2);
            compare(button.text, "<i>Web");
            const shown = [findChild(button, "label")];
            const items = list().contentItem.children;
            for (let i = 0; i < items.length; ++i) {
                const header = findChild(items[i], "folderHeaderText");
                if (header && items[i].visible && header.text === list().itemAtIndex(2).folderRole)
                    shown.push(header);
            }
            compare(shown.length, 2);
            for (const text of shown) {
                metrics.font = text.font;
                metrics.text = text.text;
                fuzzyCompare(text.implicitWidth - text.leftPadding, metrics.advanceWidth, 1);
            }
            // A name wider than its row ends in "…".
            const label = findChild(button, "label");
            verify(!label.truncated);
            compare(label.elide, Text.ElideRight);
            button.text = "LongLogName".repeat(10);
            verify(label.truncated);
            verify(label.implicitWidth > label.width);
            button.text = "<i>Web";
        }
    }
}
