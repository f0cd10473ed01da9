import QtQuick

// Keeps the record list where the user left it while a followed log takes new records: at
// the end when it was there with no row selected, as "tail -f" shows a file, and otherwise
// on the same records, with the selection, the clicked record and the found row moved along
// and the new records counted for the hint that leads back to the end.
QtObject {
    id: controller

    required property RecordList list
    required property RecordSelection selection
    // The current tab's log (an OpenLog), or null.
    property var log: null
    // Rows that arrived while the list was away from the end.
    property int newRecords: 0

    // Where the list was when the rows began to change, and the rows picked then.
    property bool wasAtEnd: true
    property int topRow: 0
    property int selected: -1
    property int anchor: -1
    property int found: -1

    function toggle() {
        if (log && log.model)
            kestruneCore.followLog(log.folder, log.name, !log.following);
    }

    // Before the rows change underneath.
    function rememberPlace() {
        wasAtEnd = list.isAtEnd() && selection.selectedRow < 0;
        topRow = list.topRow();
        selected = selection.selectedRow;
        anchor = selection.anchor;
        found = selection.foundRow;
    }

    // After the list has the new rows.
    function keepPlace(arrived) {
        if (wasAtEnd) {
            list.currentIndex = -1;
            list.showEnd();
            newRecords = 0;
            return;
        }
        newRecords += Math.max(0, arrived);
        selection.currentLineNumber = log.lineAfterUpdate(selection.currentLineNumber);
        list.showAtTop(log.rowAfterUpdate(topRow));
        list.keepSelected(selected < 0 ? -1 : log.rowAfterUpdate(selected));
        selection.anchor = anchor < 0 ? -1 : log.rowAfterUpdate(anchor);
        selection.foundRow = found < 0 ? -1 : log.rowAfterUpdate(found);
    }

    // Back to the end, where the list follows the new records again.
    function showNewRecords() {
        list.currentIndex = -1;
        list.showEnd();
        newRecords = 0;
        list.forceActiveFocus();
    }

    // Scrolled back to the end by hand, the user has seen the new records.
    property Connections listAtEnd: Connections {
        target: controller.list

        function onContentYChanged() {
            if (controller.newRecords > 0 && controller.list.isAtEnd())
                controller.newRecords = 0;
        }
    }

    onLogChanged: newRecords = 0
}
