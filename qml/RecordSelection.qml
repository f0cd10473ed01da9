import QtQuick

// What the user has picked in the record list: the current row of the log (which may lie
// outside the list's window of rows), the other end of a range, the record clicked last and
// the row that a text search found. The file view has one, shared by its tabs.
QtObject {
    // The selected row of the log, -1 when none.
    property int selectedRow: -1
    // The other end of a selected range of rows, -1 when only the current row is.
    property int anchor: -1
    readonly property int first: anchor < 0 ? selectedRow : Math.min(anchor, selectedRow)
    readonly property int last: Math.max(anchor, selectedRow)
    // The record number (lineRole) of the row clicked last, in whichever tab; a filter change
    // selects that record again.
    property int currentLineNumber: 0
    // The row that the last text search found, and the text it found there.
    property int foundRow: -1
    property string foundText: ""

    // Before the current row moves: a range begins at it when extend, else there is none.
    function beginMove(extend) {
        if (!extend)
            anchor = -1;
        else if (anchor < 0)
            anchor = Math.max(selectedRow, 0);
    }

    function markFound(row, text) {
        foundRow = row;
        foundText = text;
    }

    // A new model, or rows changed underneath: no range and no found text are left.
    function forgetMarks() {
        anchor = -1;
        foundRow = -1;
    }
}
