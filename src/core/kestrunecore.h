#pragma once

#include "coresettings.h"
#include "folderscanqueue.h"
#include "logsearches.h"
#include "openlogregistry.h"
#include "recordclipboard.h"

#include <QObject>
#include <QStandardItemModel>
#include <QUrl>
#include <QVariant>

// The one service object published to QML as "kestruneCore": the folder model of
// discovered logs, the registry of open logs with their searches, and the read-only
// settings and style files. It has no signals and no properties: each open log is an OpenLog
// object of its own, which the window gets from openLogAsync and binds to.
class KestruneCore : public QObject
{
    Q_OBJECT

public:
    // Reads settings.ini beside the executable and style/default.ini below it.
    KestruneCore();
    // Reads settings.ini and style/default.ini from the given folder instead.
    explicit KestruneCore(const QString &configFolder);
    ~KestruneCore() override;

    // The original invokables, in their fixed order, so that they keep their numbers; the
    // ones added since come after getStyle.
    Q_INVOKABLE void openFolder(QUrl url);
    Q_INVOKABLE QObject *folderModel();
    Q_INVOKABLE QObject *openLog(QString folder, QString serverName);
    Q_INVOKABLE void closeLog(QString folder, QString serverName);
    Q_INVOKABLE void containsOnly(QVariantList filters);
    Q_INVOKABLE void containsAll(QVariantList filters);
    Q_INVOKABLE void showOnlyErrors(bool onlyErrors);
    Q_INVOKABLE int findNext(QString folder, QString serverName, int startsAt, QString str) const;
    Q_INVOKABLE int findDate(QString folder, QString serverName, QString str) const;
    Q_INVOKABLE int getIndex(QString folder, QString serverName, int lineNumber) const;
    Q_INVOKABLE QVariant getSetting(QString key, QVariant defaultValue = QVariant()) const;
    Q_INVOKABLE QVariant getStyle(QString key, QVariant defaultValue = QVariant()) const;

    // Gives one open log the filter that the three filter calls would have left it with; a
    // log that has it already keeps its rows. openLog itself starts a log unfiltered. Here and
    // in the calls below, from and to bound the records' date texts as DateRange does; empty,
    // they do not bound.
    Q_INVOKABLE void filterLog(QString folder, QString serverName, QVariantList filters,
        bool containsAll, bool onlyErrors, QString from = {}, QString to = {});
    // The previous row from startsAt down whose text contains str, wrapping around once from
    // the last row; the mirror of findNext, -1 when no row does.
    Q_INVOKABLE int findPrevious(
        QString folder, QString serverName, int startsAt, QString str) const;
    // Copies the visible rows from firstRow to lastRow to the clipboard in the log's own text
    // form, at most a million of them; returns how many. The text is written on a worker
    // thread and reaches the clipboard through the event loop.
    Q_INVOKABLE int copyRecords(QString folder, QString serverName, int firstRow, int lastRow);
    // Copies one visible row's message, line breaks kept; false when there is no such row.
    Q_INVOKABLE bool copyMessage(QString folder, QString serverName, int row);
    // The fields of one visible row by their role names (dateTimeRole ... messageRole), the
    // message as it was read, line breaks kept; empty when there is no such row.
    Q_INVOKABLE QVariantMap recordAt(QString folder, QString serverName, int row) const;
    // The same with the message cut to its first maxCharacters, for a window that shows no
    // more: a message of megabytes is not even read whole. "messageCut" tells whether it was
    // cut, "recordBytes" how many bytes the record takes in its file.
    Q_INVOKABLE QVariantMap recordPreviewAt(
        QString folder, QString serverName, int row, int maxCharacters) const;
    // What the window says above a log's records, one line each: what its open met
    // (unreadable files, no records, cut lines) and a filter or text search that could not
    // run; for a log whose open failed, why, until that log is opened or closed again.
    // Empty when there is nothing to say. The log's OpenLog says the same as notice.
    Q_INVOKABLE QString logStatus(QString folder, QString serverName) const;
    // What the command line asked for that could not be done, one line each; the window
    // shows it while no log is open. Empty when there is nothing to say.
    Q_INVOKABLE QString startNotice() const;

    // Opening without blocking the caller: returns the log's OpenLog at once, which follows
    // the load and shows the models once they are there. A log that has no models is loaded
    // on a worker thread; one that loads already is returned as it is; one that is open is
    // returned too, brought to the filter by a background pass when it has another. The
    // filter, as filterLog takes it, is applied on the worker before the models are shown (a
    // text filter waits there for the search texts); a filter changed meanwhile as well.
    Q_INVOKABLE QObject *openLogAsync(QString folder, QString serverName, QVariantList filters = {},
        bool containsAll = false, bool onlyErrors = false, QString from = {}, QString to = {});
    // Loads the log again in the same way and returns its OpenLog; until the load has ended
    // the log keeps its models, then openLog returns new ones and the old ones are freed in
    // the background. A reload that brings nothing keeps the old ones and says why.
    Q_INVOKABLE QObject *reloadLogAsync(QString folder, QString serverName,
        QVariantList filters = {}, bool containsAll = false, bool onlyErrors = false,
        QString from = {}, QString to = {});
    // Stops a load of the log that is still running, without waiting for it: nothing of it
    // is shown, loadFinished does not come, and its memory is freed on the worker. A log that
    // had no models yet is no longer open.
    Q_INVOKABLE void cancelLoad(QString folder, QString serverName);
    // As closeLog, but returns at once: the record model, which holds the log's memory, is
    // destroyed on a worker thread.
    Q_INVOKABLE void closeLogAsync(QString folder, QString serverName);
    // The rows an open log shows, its records, whether a filter hides any of them and the
    // memory its index holds in bytes: "shown", "total", "filtered" and "memory"; empty for a
    // log that is not open.
    Q_INVOKABLE QVariantMap logRecordCounts(QString folder, QString serverName) const;
    // Whether every open log's search texts are built, so that a text filter or a text search
    // would not wait for them. Each OpenLog tells its own, and when they come.
    Q_INVOKABLE bool searchTextsReady() const;
    // Gives every open log the filter that filterLog would, without blocking the caller, and
    // returns the change's generation: the passes run on a worker thread (which waits there
    // for search texts not built yet) while the logs keep their rows, then each log takes its
    // new rows in one model reset and its OpenLog tells filtered(generation). A later call
    // supersedes a pass still running, whose rows are dropped. A log closed or reloaded
    // meanwhile is left out.
    Q_INVOKABLE int filterLogsAsync(QVariantList filters, bool containsAll, bool onlyErrors,
        QString from = {}, QString to = {});
    // openFolder without blocking the caller: the place is scanned on a worker thread, and its
    // rows are appended as openFolder appends them once the scan, and every scan started
    // before it, has ended; the scan model's scanFinished follows. Returns the scan's
    // FolderScanJob.
    Q_INVOKABLE QObject *openFolderAsync(QUrl url);
    // Stops every scan still running; none of their rows are appended.
    Q_INVOKABLE void cancelFolderScans();
    // The scans whose rows have not come yet and the folders without logs that have a
    // notice, as a list model (FolderScanQueue); the same object on every call.
    Q_INVOKABLE QObject *folderScanModel();
    // What the latest scan of a folder text passed over (unreadable folders, names that are
    // not UTF-8), one line each; empty when nothing.
    Q_INVOKABLE QString folderNotice(QString folder) const;
    // What the detail window says of one visible row beside its fields: that its message block
    // was never closed and took in later records, and how many lines; empty otherwise.
    Q_INVOKABLE QString recordNotice(QString folder, QString serverName, int row) const;
    // Follows an open log's files as they grow, or stops: appended records join the rows in
    // date order under the window's filter, a file cut short or replaced is read again, a new
    // file of the log joins it. The log's OpenLog tells each update (recordsArrived) and says
    // "following" in its status line. A log that has no rows yet is not followed.
    Q_INVOKABLE void followLog(QString folder, QString serverName, bool follow);
    Q_INVOKABLE bool isFollowing(QString folder, QString serverName) const;

    // Counts the visible rows of an open log whose text holds str, as findNext matches them,
    // without blocking the caller: returns a MatchCount at once (null when the log is not
    // open), whose text says "12 of 3,402" once its finished() has come. The count belongs to
    // the caller (the QML engine).
    Q_INVOKABLE QObject *countMatchesAsync(QString folder, QString serverName, QString str);
    // The date text of the log's first visible row when str cannot be the beginning of a date
    // written in the log's form, so that findDate could only give the first or no row; empty
    // otherwise. findDate itself compares the text as it is.
    Q_INVOKABLE QString unmatchableDateForm(QString folder, QString serverName, QString str) const;
    // The log that the command line named alone, which the window opens at start: its
    // "folder" and "name" as the folder model holds them; empty when there is none.
    Q_INVOKABLE QVariantMap startLog() const;

    // findNext and findPrevious without blocking the caller: returns a TextFind at once (null
    // when the log is not open), whose row is the one they would give now, once its
    // finished() has come. The log may be filtered, reloaded or closed meanwhile; the row is
    // one of the rows shown when the find started. The finds run one after the other. A find
    // belongs to the caller (the QML engine), which drops one it no longer waits for by
    // destroying it: its row never comes, and before its turn it is not searched.
    Q_INVOKABLE QObject *findNextAsync(
        QString folder, QString serverName, int startsAt, QString str);
    Q_INVOKABLE QObject *findPreviousAsync(
        QString folder, QString serverName, int startsAt, QString str);

    void addStartNotice(const QString &line);
    void setStartLog(const QString &folder, const QString &name);

private:
    QStandardItemModel folders;
    // Appends the rows of every scan, in the order the folders were added.
    FolderScanQueue folderScans;
    // Writes copied records on a worker thread; the open logs wait for it before they change.
    RecordClipboard clipboard;
    OpenLogRegistry openLogs;
    LogSearches searches;
    QStringList startNotices;
    QVariantMap startLogKey;
    CoreSettings configuration;
};
