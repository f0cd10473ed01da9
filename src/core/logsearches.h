#pragma once

#include <QString>
#include <QVariantMap>

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
    [[nodiscard]] int findDate(
        const QString &folder, const QString &name, const QString &str) const;
    [[nodiscard]] int getIndex(const QString &folder, const QString &name, int lineNumber) const;
    [[nodiscard]] QVariantMap recordAt(const QString &folder, const QString &name, int row) const;
    // What the detail window says of one visible row: that its message block was left open
    // and took in later records; empty otherwise.
    [[nodiscard]] QString recordNotice(const QString &folder, const QString &name, int row) const;
    int copyRecords(const QString &folder, const QString &name, int firstRow, int lastRow);
    bool copyMessage(const QString &folder, const QString &name, int row);

private:
    // Runs a text search on the open log and notes whether it could run; -1 when not open.
    template<typename Search>
    [[nodiscard]] int searchText(const QString &folder, const QString &name, Search search) const;

    OpenLogRegistry &logs;
    RecordClipboard &clipboard;
};
