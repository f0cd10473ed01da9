#pragma once

#include "logfollower.h"
#include "logopenjob.h"
#include "openlog.h"

#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class RecordClipboard;

// The registry of open logs: one OpenLog per key (folder and name, compared exactly) in the
// order the logs were opened, the loads that run for them on a worker pool, and the filter
// passes that change their rows. Everything here runs on the interface thread, except the
// work it starts; nothing of a log's models is destroyed while a worker may still read them.
// A closed log's object lives on without models, closed, and serves the key again when it is
// opened again, so that whoever holds it never holds a destroyed object.
class OpenLogRegistry : public QObject
{
    Q_OBJECT

public:
    using Filter = LogOpenJob::FirstFilter;

    // Filter models get modelParent as their parent. Copies being written are waited for
    // before rows change or models go.
    OpenLogRegistry(QObject *modelParent, RecordClipboard &clipboard);
    // Stops the loads, waits for every worker and destroys the logs from first to last.
    ~OpenLogRegistry() override;

    // The log of a key in any state, or null.
    [[nodiscard]] OpenLog *find(const QString &folder, const QString &name) const;
    // The models of a log that has them, or null.
    [[nodiscard]] const OpenLogEntry *findEntry(const QString &folder, const QString &name) const;
    // As findEntry, once the log's search texts have been taken (blocks until then).
    [[nodiscard]] const OpenLogEntry *searchableEntry(
        const QString &folder, const QString &name) const;

    // openLog: the filter model of a log that has models, else a load on the calling thread
    // (a running load of the key stops first); null when it brought none, and the log says why.
    // No worker takes the search texts of such a log until a background pass or
    // openInBackground asks for them.
    [[nodiscard]] QObject *openNow(const QString &folder, const QString &name);
    // Starts a load of a log that has no models (a first open, or one that failed) and returns
    // the log; a log that loads already, or that has models, is returned as it is, the latter
    // brought to the filter by a background pass. The load ends under the latest filter.
    [[nodiscard]] OpenLog *openInBackground(
        const QString &folder, const QString &name, const Filter &filter);
    // Loads the log again, keeping its models until the new ones are there.
    [[nodiscard]] OpenLog *reloadInBackground(
        const QString &folder, const QString &name, const Filter &filter);
    // Stops a running load without waiting for it; a log that has no models goes with it.
    void cancelLoad(const QString &folder, const QString &name);
    // Removes the log and destroys its models before returning (waiting for the workers that
    // read them).
    void close(const QString &folder, const QString &name);
    // Removes the log at once; its record model is destroyed on a worker.
    void closeInBackground(const QString &folder, const QString &name);

    // Calls apply with the filter model of every log that has one, first to last, on the
    // interface thread (waiting for search texts not taken yet).
    template<typename Apply>
    void forEachFilter(Apply apply)
    {
        prepareFilterChange();
        for (const std::unique_ptr<OpenLog> &log : logs) {
            if (OpenLogEntry *entry = log->entry())
                apply(*entry->filter);
        }
    }
    // Gives the log of a key the filter on the interface thread.
    void filterNow(const QString &folder, const QString &name, const Filter &filter);
    // Gives every log that has models the filter on the filter pool and returns the change's
    // generation; each log takes its rows in one model reset, then tells filtered. A later
    // change supersedes a pass still running or still waiting for search texts.
    int filterInBackground(const Filter &filter);
    // Follows the log's files as they grow, or stops following them. A log that has no models
    // is not followed; a closed log stops.
    void setFollowing(const QString &folder, const QString &name, bool on);
    // Whether every log that has models has its search texts taken.
    [[nodiscard]] bool searchTextsReady() const;

private:
    // One log's part of a filter pass on the worker. The record model lives until every pass
    // has ended; the filter model and the log may go at any time.
    struct FilterTarget
    {
        QPointer<OpenLog> log;
        QPointer<LogFilterModel> filter;
        const LogModel *model = nullptr;
        std::shared_future<void> searchTexts;
        LogFilterModel::Pass pass;
    };

    // The log of a key, open, closed or new; not open, it is added as the last open one.
    [[nodiscard]] OpenLog *findOrAdd(const QString &folder, const QString &name);
    [[nodiscard]] FilterTarget targetOf(OpenLog *log, OpenLogEntry &entry);
    void startLoad(OpenLog *log, const Filter &filter);
    void finishLoad(LogOpenJob *job, const std::optional<Filter> &applied = {});
    // Starts a pass that brings a finished load to the latest filter, after which finishLoad
    // comes again; false when the load has that filter already.
    bool refilterLoaded(LogOpenJob *job);
    // Gives the log what a load built, or its failure; returns the models it replaced. With
    // takeTexts, a worker takes the new models' search texts (see OpenLogEntry).
    [[nodiscard]] std::optional<OpenLogEntry> takeLoaded(
        OpenLog *log, LogOpenJob::Loaded &&loaded, double milliseconds, bool takeTexts);
    void prepareFilterChange();
    void runPasses(int generation, const Filter &filter, std::vector<FilterTarget> &&targets);
    void finishPasses(int generation, std::vector<FilterTarget> &targets);
    // Closes the log of a key: stops its load and hands over its models, if any.
    [[nodiscard]] std::optional<OpenLogEntry> takeClosed(
        const QString &folder, const QString &name);
    // Takes the log out of the open ones; it waits, closed, for its key to be opened again.
    void park(OpenLog *log);
    void disposeInBackground(OpenLogEntry &&entry);
    // Shows what an update of a followed log read, unless the log's models changed meanwhile.
    void takeUpdate(OpenLog *log, LogFollower::Update &update);
    // Brings a log's rows to the latest filter, where they are not under it.
    void refilter(OpenLog *log);
    void destroyNow(OpenLogEntry &&entry);

    QObject *modelParent;
    RecordClipboard &clipboard;
    std::vector<std::unique_ptr<OpenLog>> logs;
    std::vector<std::unique_ptr<OpenLog>> parked;
    // Runs the loads and frees closed logs.
    QThreadPool backgroundWork;
    // Runs the filter passes one after another; a record model is freed only once the passes
    // that may read it have ended.
    QThreadPool filterWork;
    // The generation of the latest filterInBackground; the worker reads it to stop a
    // superseded pass early.
    std::atomic<int> filterGeneration {0};
    // The filter of the latest background filter change or load: a load that ends under an
    // older filter takes this one before its models are shown.
    std::optional<Filter> latestFilter;
    std::map<OpenLog *, std::unique_ptr<LogFollower>> followers;
};
