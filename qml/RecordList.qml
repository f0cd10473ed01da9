import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

// The record list of the file view: a window of the log's rows (an open log's rows object),
// moved along as the list scrolls, so that rows keep exact positions in logs of any length,
// with a scroll bar that maps the whole log. Rows show their record's number in the log. A
// click makes a row current and moves nothing; the keys and the searches scroll to it. A
// right click offers to copy the row's record or message.
ListView {
    id: list

    required property RecordSelection selection
    // The log shown, whose rows are copied: the current tab's, or null.
    property var log: null
    readonly property int rowHeight: 30
    // The log's rows shown: the first in the window, and how many the log shows in all.
    readonly property int first: model ? model.first : 0
    readonly property int sourceCount: model ? model.sourceCount : 0
    readonly property int capacity: model ? model.capacity : 1
    // True while the list itself moves its window or its place, which is no scrolling by
    // the user.
    property bool moving: false
    // The record number (lineRole) of the current row, -1 without one.
    property int currentRecord: -1
    // The width of the number column: the largest record number of the log fits.
    readonly property real lineWidth: Math.max(30, Math.ceil(lineMetrics.advanceWidth) + 4)
    // Kept free at the right of every row for the scroll bar and the button below it.
    readonly property int scrollBarRoom: 24

    // A double click on a row of the log.
    signal detailsRequested(int row)
    // A copy has started; said confirms it ("Copied 3 records").
    signal copied(string said)

    // Binds the list to a window of rows, or to none. A new one reaches the list as a new
    // model, which starts it at its first row; binding the same one again changes nothing.
    function showRecords(rows) {
        if (rows && rows === model)
            return;
        model = null;
        model = rows;
    }

    // After a load brought the rows: a first open shows savedRow at the top; a reload shows
    // the end, with keptRow current, else the last row, so that the keys go on from there.
    function showLoaded(reloaded, savedRow, keptRow) {
        selection.forgetMarks();
        if (!reloaded) {
            showAtTop(savedRow);
        } else if (keptRow >= 0) {
            showEnd();
            selectAndCentre(keptRow);
        } else {
            moveTo(sourceCount - 1, false);
            showEnd();
        }
    }

    // The row of the log at the top of the list.
    function topRow() {
        const index = indexAt(10, contentY);
        return index < 0 ? 0 : first + index;
    }

    // The list index of a row of the log. A row near or past the ends of the window first
    // moves the window to have it in the middle; the caller then positions the list.
    function listIndexOf(row) {
        const index = row - first;
        const margin = capacity / 4;
        const nearStart = index < margin && first > 0;
        const nearEnd = index >= count - margin && first + count < sourceCount;
        return nearStart || nearEnd ? moveWindowTo(row) : index;
    }

    // Moves the window and keeps the selected row selected when it is still inside.
    function moveWindowTo(row) {
        moving = true;
        const index = model.centreOn(row);
        const selected = selection.selectedRow - first;
        currentIndex = selection.selectedRow >= 0 && selected < count ? selected : -1;
        moving = false;
        return index;
    }

    // Moves the window along when the list scrolls near its ends, so that the same rows stay
    // in view, and shows the place in the log on the scroll bar.
    function followScroll() {
        if (moving || !model)
            return;
        const top = indexAt(10, contentY);
        if (top < 0)
            return;
        const firstBefore = first;
        const contentYBefore = contentY;
        const index = listIndexOf(firstBefore + top);
        if (index !== top) {
            moving = true;
            contentY = contentYBefore - (first - firstBefore) * rowHeight;
            moving = false;
        }
        if (scrollBar.pressed)
            return;
        moving = true;
        scrollBar.position = (first * rowHeight + contentY - originY) / (sourceCount * rowHeight);
        moving = false;
    }

    // Scrolls the list to a place in the whole log, given as a fraction of its height.
    function scrollToFraction(fraction) {
        if (moving || !model)
            return;
        const height = sourceCount * rowHeight;
        const y = Math.max(0, Math.min(fraction * height, height - list.height));
        const row = Math.floor(y / rowHeight);
        const index = listIndexOf(row);
        moving = true;
        contentY = originY + index * rowHeight + y - row * rowHeight;
        moving = false;
    }

    // Puts a row of the log at the top, when the log has it.
    function showAtTop(row) {
        if (row < sourceCount)
            positionViewAtIndex(listIndexOf(row), ListView.Beginning);
    }

    // Whether the log's last row is in view.
    function isAtEnd() {
        if (sourceCount === 0)
            return true;
        const bottom = indexAt(10, contentY + height - 1);
        return bottom >= 0 ? first + bottom >= sourceCount - 1 : first + count >= sourceCount;
    }

    // Makes a row of the log current without scrolling, -1 none.
    function keepSelected(row) {
        moving = true;
        const index = row - first;
        currentIndex = row >= 0 && index < count ? index : -1;
        moving = false;
        selection.selectedRow = row;
    }

    function showEnd() {
        if (sourceCount > 0)
            listIndexOf(sourceCount - 1);
        positionViewAtEnd();
    }

    // Makes a row of the log (kept inside it) current and scrolls it just into view; with
    // extend, the selection reaches from where it began to there.
    function moveTo(row, extend) {
        if (sourceCount === 0)
            return;
        selection.beginMove(extend);
        const index = listIndexOf(Math.max(0, Math.min(row, sourceCount - 1)));
        currentIndex = index;
        positionViewAtIndex(index, ListView.Contain);
        alignTopRow();
    }

    // Scrolls on to the next whole row at the top, so that no part of a row shows there;
    // the row at the bottom stays whole. At the end of the log the last row stays at the
    // bottom.
    function alignTopRow() {
        const offset = contentY - originY;
        const aligned = originY + Math.ceil(offset / rowHeight - 0.001) * rowHeight;
        contentY = Math.max(originY, Math.min(aligned, originY + contentHeight - height));
    }

    // As moveTo, for the keys: the row reached stands for the user's current record, which a
    // filter change selects again, as a clicked one does.
    function moveByKeys(row, extend) {
        moveTo(row, extend);
        if (currentRecord >= 0)
            selection.currentLineNumber = currentRecord;
    }

    // Makes a row of the log current and centres it; -1 leaves no row current.
    function selectAndCentre(row) {
        selection.anchor = -1;
        if (row < 0 || row >= sourceCount) {
            currentIndex = -1;
            return;
        }
        const index = listIndexOf(row);
        currentIndex = index;
        positionViewAtIndex(index, ListView.Center);
    }

    // Copies the rows of the log from first to last, in the log's own text form.
    function copyRows(firstRow, lastRow) {
        if (!log || firstRow < 0)
            return;
        const copies = kestruneCore.copyRecords(log.folder, log.name, firstRow, lastRow);
        const number = Number(copies).toLocaleString(Qt.locale("en_US"), "f", 0);
        copied(copies === 0 ? qsTr("Not copied: the records would not fit into memory")
                            : copies === 1 ? qsTr("Copied 1 record")
                                           : qsTr("Copied %1 records").arg(number));
    }

    function copyMessage(row) {
        if (log && kestruneCore.copyMessage(log.folder, log.name, row))
            copied(qsTr("Copied the message"));
    }

    objectName: "logView"
    // Rows scrolled above the top do not show through the lines above the list.
    clip: true
    // The view's own keys move the current row and the selection; a current row that changes
    // scrolls the list only where the caller asks for it.
    keyNavigationEnabled: false
    highlightFollowsCurrentItem: false
    onCurrentIndexChanged: {
        if (currentIndex < 0)
            currentRecord = -1;
        if (!moving)
            selection.selectedRow = currentIndex < 0 ? -1 : first + currentIndex;
    }
    onContentYChanged: followScroll()
    onHeightChanged: followScroll()

    delegate: LogDelegate {
        required property int index
        required property string dateTimeRole
        required property string logTypeRole
        required property string threadIDRole
        required property string moduleNameRole
        required property string messagePreviewRole
        required property int lineRole

        // The row's place in the rows shown, which selection and keys go by.
        readonly property int row: list.first + index

        width: list.width
        height: list.rowHeight
        dateTime: dateTimeRole
        message: messagePreviewRole
        moduleName: moduleNameRole
        threadID: threadIDRole
        logType: logTypeRole
        line: lineRole
        lineWidth: list.lineWidth
        rightInset: list.scrollBarRoom
        selected: row >= list.selection.first && row <= list.selection.last
        // Every row marks what the last search found; the found row shows it, however far
        // into its message.
        matchText: list.selection.foundRow >= 0 ? list.selection.foundText : ""
        showsMatch: row === list.selection.foundRow
        ListView.onIsCurrentItemChanged: {
            if (ListView.isCurrentItem)
                list.currentRecord = lineRole;
        }
        onClicked: {
            list.selection.anchor = -1;
            list.currentIndex = index;
            list.selection.currentLineNumber = lineRole;
            // The list, not the row: a row scrolled out of view is destroyed.
            list.forceActiveFocus();
        }
        onShiftClicked: {
            list.moveTo(row, true);
            list.forceActiveFocus();
        }
        onDoubleClicked: {
            list.currentIndex = index;
            list.detailsRequested(row);
        }
        onMenuRequested: {
            rowMenu.row = row;
            rowMenu.popup();
        }
    }

    Menu {
        id: rowMenu

        // The row that was right-clicked.
        property int row: -1

        objectName: "rowMenu"
        parent: list

        // A row of several selected ones copies all of them.
        MenuItem {
            readonly property int rows: list.selection.last - list.selection.first + 1
            readonly property bool several: rows > 1 && rowMenu.row >= list.selection.first
                                            && rowMenu.row <= list.selection.last

            objectName: "copyRecordItem"
            text: several ? qsTr("Copy %1 records").arg(Number(rows).toLocaleString(
                                                             Qt.locale("en_US"), "f", 0))
                          : qsTr("Copy record")
            onTriggered: several ? list.copyRows(list.selection.first, list.selection.last)
                                 : list.copyRows(rowMenu.row, rowMenu.row)
        }

        MenuItem {
            objectName: "copyMessageItem"
            text: qsTr("Copy message")
            onTriggered: list.copyMessage(rowMenu.row)
        }
    }

    TextMetrics {
        id: lineMetrics

        font.family: GlobalFont.name
        font.pixelSize: 10
        font.bold: true
        // Digits are equally wide: a run of zeros as long as the largest number measures it.
        text: "0".repeat(String(Math.max(0, list.log ? list.log.totalRecords - 1
                                                     : list.sourceCount - 1)).length)
    }

    VerticalScrollBar {
        id: scrollBar

        objectName: "recordScrollBar"
        attachedView: list
        // Ends above the button that shows the last row.
        anchors.bottomMargin: 40
        size: Math.min(1, list.height / Math.max(1, list.sourceCount * list.rowHeight))
        // Wide enough to grab however long the log is.
        minimumSize: height > 0 ? 20 / height : 0
        onPositionChanged: list.scrollToFraction(position)
    }
}
