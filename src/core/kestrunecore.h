#pragma once

#include "coresettings.h"
#include "folderscanqueue.h"
#include "logopenjob.h"
#include "openlogentry.h"
#include "recordclipboard.h"

#include <QObject>
#include <QPointer>
#include <QStandardItemModel>
#include <QThreadPool>
#include <QUrl>
#include <QVariant>

#include <atomic>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// The one service object published to QML as "kestruneCore": the folder model of
// discovered logs, the registry of open logs with their searches, and the read-only
// settings and style files.
class KestruneCore : public QObject
{
    Q_OBJECT

public:
    // Reads settings.ini beside the executable and style/default.ini below it.
    KestruneCore();
    // Reads settings.ini and style/default.ini from the given folder instead.
    explicit KestruneCore(const QString &configFolder);
    ~KestruneCore() override;

    Q_INVOKABLE void openFolder(QUrl url);
    Q_INVOKABLE QObject *folderModel();
    Q_INVOKABLE QObject *openLog(QString folder, QString serverName);
    Q_INVOKABLE void closeLog(QString folder, QString serverName);
    Q_INVOKABLE void containsOnly(QVariantList filters);
    Q_INVOKABLE void containsAll(QVariantList filters);
    Q_INVOKABLE void showOnlyErrors(bool onlyErrors);
    // Gives one open log the filter that the three calls above would have left it with; a
    // log that has it already keeps its rows. openLog itself starts a log unfiltered.
    Q_INVOKABLE void filterLog(QString folder, QString serverName, QVariantList filters,
        bool containsAll, bool onlyErrors);
    Q_INVOKABLE int findNext(QString folder, QString serverName, int startsAt, QString str) const;
    // The previous row from startsAt down whose text contains str, wrapping around once from
    // the last row; the mirror of findNext, -1 when no row does.
    Q_INVOKABLE int findPrevious(
        QString folder, QString serverName, int startsAt, QString str) const;
    Q_INVOKABLE int findDate(QString folder, QString serverName, QString str) const;
    Q_INVOKABLE int getIndex(QString folder, QString serverName, int lineNumber) const;
    // Copies the visible rows from firstRow to lastRow to the clipboard in the log's own text
    // form, at most a million of them; returns how many. The text is written on a worker
    // thread and reaches the clipboard through the event loop.
    Q_INVOKABLE int copyRecords(QString folder, QString serverName, int firstRow, int lastRow);
    // Copies one visible row's message, line breaks kept; false when there is no such row.
    Q_INVOKABLE bool copyMessage(QString folder, QString serverName, int row);
    // The fields of one visible row by their role names (dateTimeRole ... messageRole), the
    // message as it was read, line breaks kept; empty when there is no such row.
    Q_INVOKABLE QVariantMap recordAt(QString folder, QString serverName, int row) const;
    // What the window says above a log's records, one line each: what its open met
    // (unreadable files, no records, cut lines) and a filter or text search that could not
    // run; for a log whose open failed, why, until that log is opened or closed again.
    // Empty when there is nothing to say.
    Q_INVOKABLE QString logStatus(QString folder, QString serverName) const;
    // What the command line asked for that could not be done, one line each; the window
    // shows it while no log is open. Empty when there is nothing to say.
    Q_INVOKABLE QString startNotice() const;
    void addStartNotice(const QString &line);
    Q_INVOKABLE QVariant getSetting(QString key, QVariant defaultValue = QVariant()) const;
    Q_INVOKABLE QVariant getStyle(QString key, QVariant defaultValue = QVariant()) const;
    // openFolder without blocking the caller: the place is scanned on a worker thread, and its
    // rows are appended as openFolder appends them once the scan, and every scan started
    // before it, has ended; folderScanFinished follows. Returns the scan's FolderScanJob.
    Q_INVOKABLE QObject *openFolderAsync(QUrl url);
    // Stops every scan still running; none of their rows are appended.
    Q_INVOKABLE void cancelFolderScans();
    // The scans whose rows have not come yet and the folders without logs that have a
    // notice, as a list model (FolderScanQueue); the same object on every call.
    Q_INVOKABLE QObject *folderScanModel();
    // What the latest scan of a folder text passed over (unreadable folders, names that are
    // not UTF-8), one line each; empty when nothing.
    Q_INVOKABLE QString folderNotice(QString folder) const;

    // Opening without blocking the caller. A log that is not open is loaded on a worker
    // thread: the call returns its LogOpenJob at once (the running one, when the log is being
    // loaded already), logLoadProgress follows the reading, and logLoadFinished tells when
    // the log is registered and openLog returns its filter model without waiting, or when the
    // load failed and logStatus says why. Null when the log is open: openLog returns it now.
    // The filter, as filterLog takes it, is applied on the worker before the log is
    // registered; a text filter waits there for the log's search texts.
    Q_INVOKABLE QObject *openLogAsync(QString folder, QString serverName, QVariantList filters = {},
        bool containsAll = false, bool onlyErrors = false);
    // Loads the log again in the same way; until logLoadFinished the open log keeps its
    // models, then openLog returns new ones and the old ones are freed in the background.
    Q_INVOKABLE QObject *reloadLogAsync(QString folder, QString serverName,
        QVariantList filters = {}, bool containsAll = false, bool onlyErrors = false);
    // Stops a load of the log that is still running, without waiting for it: nothing of it
    // is registered, no signal of it follows, and its memory is freed on the worker.
    Q_INVOKABLE void cancelLoad(QString folder, QString serverName);
    // As closeLog, but returns at once: the record model, which holds the log's memory, is
    // destroyed on a worker thread.
    Q_INVOKABLE void closeLogAsync(QString folder, QString serverName);
    // The rows an open log shows, its records, whether a filter hides any of them and the
    // memory its index holds in bytes: "shown", "total", "filtered" and "memory"; empty for a
    // log that is not open.
    Q_INVOKABLE QVariantMap logRecordCounts(QString folder, QString serverName) const;
    // Whether every open log's search texts are built, so that a text filter or a text search
    // would not wait for them.
    Q_INVOKABLE bool searchTextsReady() const;
    // Gives every open log the filter that filterLog would, without blocking the caller: the
    // passes run on a worker thread while the logs keep their rows, then each log takes its
    // new rows in one model reset and logsFiltered tells the returned generation. A later
    // call supersedes a pass still running, whose rows are dropped and whose signal never
    // comes. A log closed or reloaded meanwhile is left out. A text filter waits here for
    // search texts not built yet (searchTextsReady tells).
    Q_INVOKABLE int filterLogsAsync(QVariantList filters, bool containsAll, bool onlyErrors);
    // What the detail window says of one visible row beside its fields: that its message block
    // was never closed and took in later records, and how many lines; empty otherwise.
    Q_INVOKABLE QString recordNotice(QString folder, QString serverName, int row) const;

signals:
    void logLoadProgress(QString folder, QString serverName, double bytesRead, double totalBytes);
    // opened: the log is registered; otherwise logStatus says why not. milliseconds: from the
    // start of the load.
    void logLoadFinished(QString folder, QString serverName, bool opened, double milliseconds);
    // The open logs show the filter of that call of filterLogsAsync.
    void logsFiltered(int generation);
    // A scan of openFolderAsync has ended: its rows are appended when completed, none when
    // it was cancelled.
    void folderScanFinished(QString folder, bool completed);

private:
    [[nodiscard]] QString openNewLog(const QString &folder, const QString &name);
    // Registers a loaded log in place of an open one of the same key, which is returned, or
    // at the end; without an entry, records why the log could not be opened.
    std::optional<OpenLogEntry> registerLoaded(
        const QString &folder, const QString &name, LogOpenJob::Loaded &&loaded);
    // Removes the entry of a key from the registry, keeping the others' order.
    [[nodiscard]] std::optional<OpenLogEntry> takeOpenLog(
        const QString &folder, const QString &name);
    [[nodiscard]] std::vector<OpenLogEntry>::iterator findOpenEntry(
        const QString &folder, const QString &name);
    [[nodiscard]] LogOpenJob *startLoad(
        const QString &folder, const QString &name, const LogOpenJob::FirstFilter &filter);
    void finishLoad(LogOpenJob *job, const std::optional<LogOpenJob::FirstFilter> &applied = {});
    // Starts a pass that brings a finished load to the latest filter, after which finishLoad
    // comes again; false when the load has that filter already.
    bool refilterLoaded(LogOpenJob *job);
    void disposeInBackground(OpenLogEntry &&entry);
    [[nodiscard]] const OpenLogEntry *findOpenLog(const QString &folder, const QString &name) const;
    // Runs a text search on the open log and notes whether it could run; -1 when not open.
    template<typename Search>
    [[nodiscard]] int searchText(const QString &folder, const QString &name, Search search) const;
    // Calls apply on the filter model of every open log, first to last.
    template<typename Apply>
    void forEachFilter(Apply apply);
    // One open log's part of a filter pass on the worker. The record model lives until every
    // pass has ended; the filter model may go at any time.
    struct FilterTarget
    {
        QPointer<LogFilterModel> filter;
        const LogModel *model = nullptr;
        LogFilterModel::Pass pass;
    };
    void finishFilterPass(int generation, std::vector<FilterTarget> &targets);

    QStandardItemModel folders;
    // Appends the rows of every scan, in the order the folders were added.
    FolderScanQueue folderScans;
    std::vector<OpenLogEntry> openLogs;
    // Why the last open of a log failed, by folder and name.
    std::map<std::pair<QString, QString>, QString> failedOpens;
    QStringList startNotices;
    CoreSettings configuration;
    // Writes copied records on a worker thread; the open logs wait for it before they change.
    RecordClipboard clipboard;
    // The loads still running, by folder and name; a cancelled one leaves at once.
    std::map<std::pair<QString, QString>, LogOpenJob *> loadJobs;
    // Runs the loads and frees closed logs.
    QThreadPool backgroundWork;
    // Runs the filter passes one after another; a record model is freed only once the passes
    // that may read it have ended.
    QThreadPool filterWork;
    // The generation of the latest filterLogsAsync; the worker reads it to stop a superseded
    // pass early.
    std::atomic<int> filterGeneration {0};
    // The filter of the latest filterLogsAsync or background load: a load that ends under an
    // older filter takes this one before its log is registered.
    std::optional<LogOpenJob::FirstFilter> latestFilter;
};
