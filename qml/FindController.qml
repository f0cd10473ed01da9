import QtQuick

// The searches of the file view's find panel and find keys on the current log: a text
// forward and backward ("Wrapped", "No match") with how many rows hold it, counted in the
// background ("12 of 3,402"), a date, and the found text marked in the rows.
// A text search runs in the background ("Searching…"), after the log's search texts when it
// would wait for them, without blocking the window; a newer search or Escape takes its place,
// and so does a change of the log's rows, to which its row no longer belongs.
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
    // The text search running in the core (a TextFind), or null.
    property var runningFind: null
    // The text last found, the count of the rows that hold it (a MatchCount from the core, or
    // null while the rows change) and what that count says once it is in.
    property string countedText: ""
    property var matchCount: null
    readonly property string countText: matchCount ? matchCount.text : ""

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
            awaitFind(kestruneCore.findNextAsync(log.folder, log.name, from + 1, str), str,
                      row => row >= 0 && row <= from);
        });
    }

    // The search backwards from the row above the current one, wrapping at the top.
    function findPreviousText(str) {
        whenSearchable(() => {
            const from = selection.selectedRow < 0 ? list.sourceCount : selection.selectedRow;
            awaitFind(kestruneCore.findPreviousAsync(log.folder, log.name, from - 1, str), str,
                      row => row >= from);
        });
    }

    // Shows the row of a running find once it comes, unless another search or a stop has
    // taken its place.
    function awaitFind(find, str, wrappedAt) {
        dropRunningFind();
        // A log that is not open has no row to find.
        if (!find) {
            showFound(-1, str, false);
            return;
        }
        runningFind = find;
        panel.message = qsTr("Searching…");
        find.finished.connect(() => {
            if (runningFind !== find)
                return;
            runningFind = null;
            showFound(find.row, str, wrappedAt(find.row));
        });
    }

    // A find let go at once is not searched when its turn comes.
    function dropRunningFind() {
        if (runningFind)
            runningFind.destroy();
        runningFind = null;
    }

    // Stops the search that runs or waits; true when there was one.
    function stop() {
        if (!runningFind && !pendingSearch)
            return false;
        dropRunningFind();
        pendingSearch = null;
        waitingFor = null;
        panel.message = "";
        return true;
    }

    function showFound(row, str, wrapped) {
        list.selectAndCentre(row);
        selection.markFound(row, str);
        panel.message = row < 0 ? qsTr("No match") : wrapped ? qsTr("Wrapped") : "";
        if (row >= 0 && (str !== countedText || !matchCount))
            countMatches(str);
    }

    function countMatches(str) {
        countedText = str;
        matchCount = kestruneCore.countMatchesAsync(log.folder, log.name, str);
    }

    // The log's rows are about to change: the count no longer holds, nor the row of a
    // search that runs.
    function forgetCount() {
        matchCount = null;
        if (runningFind)
            stop();
    }

    // The rows have changed: the text found last is counted again.
    function recount() {
        if (log && countedText !== "" && !matchCount)
            countMatches(countedText);
    }

    onLogChanged: {
        countedText = "";
        matchCount = null;
        if (runningFind)
            stop();
    }

    // The first record after a date; what it met is said beside the date field. A text
    // that no date of the log could begin with moves nothing: the panel shows how the log
    // writes its dates instead.
    function findDate(str) {
        if (!log)
            return;
        const form = kestruneCore.unmatchableDateForm(log.folder, log.name, str);
        panel.dateHint = form === "" ? "" : qsTr("This log writes its dates as %1").arg(form);
        if (form !== "")
            return;
        const row = kestruneCore.findDate(log.folder, log.name, str);
        list.selectAndCentre(row);
        panel.dateMessage = row < 0 ? qsTr("No match") : "";
    }
}
