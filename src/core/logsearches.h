#pragma once

#include "qarnlogparser.h"
#include "resultworkers.h"

#include <QString>
#include <QVariantMap>

class MatchCount;
class TextFind;

class OpenLogRegistry;
class RecordClipboard;

// The searches and copies on one open log's visible rows, by folder and name: the next or
// previous row that holds a text, the first row after a date, the row of a record number,
// one row's fields, and copies to the clipboard. Each works on the log's filter model as it
// is; a log without models gives -1, nothing or false. On the interface thread.
class LogSearches
{
public:
    LogSearches(OpenLogRegistry &logs, RecordClipboard &clipboard);

    // The text searches wait for the log's search texts when they are not taken yet.
    [[nodiscard]] int findNext(
        const QString &folder, const QString &name, int startsAt, const QString &str) const;
    [[nodiscard]] int findPrevious(
        const QString &folder, const QString &name, int startsAt, const QString &str) const;
    // findNext and findPrevious without blocking the caller: the row comes as the TextFind's
    // finished(), through the event loop; null when the log is not open. The caller owns the
    // find, and may destroy it to drop the search. An indexed log is searched on a worker, one
    // find after the other; the search texts of records held in memory here, once they are
    // built.
    [[nodiscard]] TextFind *findNextAsync(
        const QString &folder, const QString &name, int startsAt, const QString &str);
    [[nodiscard]] TextFind *findPreviousAsync(
        const QString &folder, const QString &name, int startsAt, const QString &str);
    [[nodiscard]] int findDate(
        const QString &folder, const QString &name, const QString &str) const;
    // The date and time text of the log's first visible row when str cannot be the beginning
    // of a date written as the log writes them (another separator, a time without its day),
    // so that the window can show the form; empty when it can, or the log shows no row.
    [[nodiscard]] QString unmatchableDateForm(
        const QString &folder, const QString &name, const QString &str) const;
    [[nodiscard]] int getIndex(const QString &folder, const QString &name, int lineNumber) const;
    [[nodiscard]] QVariantMap recordAt(const QString &folder, const QString &name, int row) const;
    [[nodiscard]] QVariantMap recordPreviewAt(
        const QString &folder, const QString &name, int row, int maxCharacters) const;
    // What the detail window says of one visible row: that its message block was left open
    // and took in later records; empty otherwise.
    [[nodiscard]] QString recordNotice(const QString &folder, const QString &name, int row) const;
    int copyRecords(const QString &folder, const QString &name, int firstRow, int lastRow);
    bool copyMessage(const QString &folder, const QString &name, int row);
    // Starts counting the visible rows that hold str (MatchCount::start); null when the log is
    // not open. The caller owns the count.
    [[nodiscard]] MatchCount *countMatches(
        const QString &folder, const QString &name, const QString &str);

private:
    [[nodiscard]] static QVariantMap fieldsOf(const QarnLogParser::QarnLog &record);
    // Runs a text search on the open log and notes whether it could run; -1 when not open.
    template<typename Search>
    [[nodiscard]] int searchText(
        const QString &folder, const QString &name, const QString &str, Search search) const;
    template<typename Search>
    [[nodiscard]] TextFind *startFind(
        const QString &folder, const QString &name, const QString &str, Search search);

    OpenLogRegistry &logs;
    RecordClipboard &clipboard;
    // The counts and finds running on worker threads; destroying them waits for them.
    ResultWorkers workers;
    // When the find started last has ended, for the next one to wait for.
    std::shared_future<void> lastFind;
};
