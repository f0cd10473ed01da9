#pragma once

#include "logfiltermodel.h"
#include "recordindexupdate.h"

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <memory>

class OpenLog;

// Follows one open log as its files grow, as "tail -f" does: it watches the files and their
// folders, and looks at them about once a second as well (for network folders and late
// notices). Each change is read on a worker: only what was appended or replaced, together with
// the filter's rows for the records it read. One update runs at a time; changes meanwhile
// bring another when it ends.
class LogFollower : public QObject
{
    Q_OBJECT

public:
    // What one look at the files found: the log's index as it is now and the filter's rows
    // over it (no index when nothing changed), and what to tell the user: files read again
    // or new to the log, and files gone or unreadable now.
    struct Update
    {
        std::shared_ptr<const RecordIndexUpdate> files;
        LogFilterModel::Pass pass;
        QString events;
        QString gone;
    };

    // The log must have an indexed record model; updates are offered through updated.
    explicit LogFollower(OpenLog *log, QObject *parent = nullptr);
    // Waits for a running update.
    ~LogFollower() override;

    // Looks for changes now, or as soon as the running update has ended.
    void check();

    // The log's files as they are now: those of the index, and the new files of its name in
    // their folders (not for a log opened as one file).
    [[nodiscard]] static QStringList filesNow(
        const QString &folder, const QString &name, const RecordIndex &index);

signals:
    // A look at the files has ended; made from the log's models of when it started.
    void updated(const std::shared_ptr<LogFollower::Update> &update);

private:
    void start();
    void finish(const std::shared_ptr<Update> &update);
    void watch(const RecordIndex &index);
    static void describe(const RecordIndexUpdate &files, Update &update);

    QPointer<OpenLog> log;
    QFileSystemWatcher watcher;
    QTimer poll;
    // Starts a check that came too soon after the last one.
    QTimer delay;
    QElapsedTimer sinceStart;
    QThreadPool worker;
    size_t watchedFiles = 0;
    bool running = false;
    bool checkAgain = false;
};
