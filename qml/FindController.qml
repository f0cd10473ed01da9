import QtQuick

// The searches of the file view's find panel and find keys on the current log: a text
// forward and backward ("Wrapped", "No match"), a date, and the found text marked in its row.
// A text search that would wait for the log's search texts waits for that log alone, without
// blocking the window; a newer search takes its place.
QtObject {
    id: finder

    required property RecordList list
    required property RecordSelection selection
    required property FindNextPanel panel
    // The log searched: the current tab's, or null.
    property var log: null
    // The search that waits for the search texts of waitingFor, or null.
    property var pendingSearch: null
    property var waitingFor: null

    property Connections textsWait: Connections {
        target: finder.waitingFor
        ignoreUnknownSignals: true

        function onSearchTextsReadyChanged() {
            finder.runPending();
        }
    }

    // Runs the search now when the log's search texts are there, otherwise once they are.
    function whenSearchable(search) {
        if (!log)
            return;
        if (log.searchTextsReady) {
            pendingSearch = null;
            waitingFor = null;
            search();
            return;
        }
        pendingSearch = search;
        waitingFor = log;
        panel.message = qsTr("Searching…");
    }

    function runPending() {
        const search = pendingSearch;
        const waited = waitingFor;
        if (!search || !waited || !waited.searchTextsReady)
            return;
        pendingSearch = null;
        waitingFor = null;
        // A tab switched meanwhile: the search was for the other log.
        if (waited === log)
            search();
        else
            panel.message = "";
    }

    function findText(str) {
        whenSearchable(() => {
            const from = selection.selectedRow;
            const row = kestruneCore.findNext(log.folder, log.name, from + 1, str);
            showFound(row, str, row >= 0 && row <= from);
        });
    }

    // The search backwards from the row above the current one, wrapping at the top.
    function findPreviousText(str) {
        whenSearchable(() => {
            const from = selection.selectedRow < 0 ? list.sourceCount : selection.selectedRow;
            const row = kestruneCore.findPrevious(log.folder, log.name, from - 1, str);
            showFound(row, str, row >= from);
        });
    }

    function showFound(row, str, wrapped) {
        list.selectAndCentre(row);
        selection.markFound(row, str);
        panel.message = row < 0 ? qsTr("No match") : wrapped ? qsTr("Wrapped") : "";
    }

    // The first record after a date; what it met is said beside the date field.
    function findDate(str) {
        if (!log)
            return;
        const row = kestruneCore.findDate(log.folder, log.name, str);
        list.selectAndCentre(row);
        panel.dateMessage = row < 0 ? qsTr("No match") : "";
    }
}
