#pragma once

#include "daterange.h"
#include "logrecordloader.h"
#include "openlogentry.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantList>

#include <memory>

class QThreadPool;

// Opens one log on a worker thread: finds its files, parses and merges them and builds its
// record and filter models there, then hands the models to the thread that made the job.
// It tells how far the files have been read, and can be cancelled at any moment without
// waiting for the worker.
class LogOpenJob : public QObject
{
    Q_OBJECT

public:
    // What a load built: the log's entry, ready to be registered, or null when none of the
    // log's files were found or the load failed, and then how.
    struct Loaded
    {
        std::unique_ptr<OpenLogEntry> entry;
        Failure failure = Failure::none;
        // Why the load was refused before it began ("it needs about … MiB and … MiB are
        // free"); empty otherwise.
        QString refusal;
    };

    // The filter a load gives its log before the log is handed over, as filterLog takes it.
    struct FirstFilter
    {
        QVariantList texts;
        bool containsAll = false;
        bool onlyErrors = false;
        DateRange range;

        [[nodiscard]] bool operator==(const FirstFilter &other) const
        {
            return texts == other.texts && containsAll == other.containsAll
                && onlyErrors == other.onlyErrors && range == other.range;
        }
    };

    // Starts the load on the pool at once; the job lives on the calling thread.
    LogOpenJob(const QString &folder, const QString &name, const FirstFilter &filter,
        QThreadPool &pool, QObject *parent);
    ~LogOpenJob() override;

    // Finds the log's files in its folder and loads them on the calling thread, with the
    // filter's first pass (a text filter waits for the log's search texts). The filter model
    // has no parent and lives on the calling thread. A log that would not fit into the memory
    // the process may still take is refused before it is read. An exception other than a
    // failed first filter pass reaches the caller, and nothing is kept.
    [[nodiscard]] static Loaded loadEntry(const QString &folder, const QString &name,
        LogRecordLoader::LoadControl *control, const FirstFilter &filter);

    // What the window says of records whose message block was never closed and took in later
    // records: how many, and the first one's lines and number.
    [[nodiscard]] static QString unclosedBlocksNotice(
        const std::vector<RecordIndex::UnclosedBlock> &blocks);

    [[nodiscard]] QString folder() const { return logFolder; }
    [[nodiscard]] QString name() const { return logName; }
    [[nodiscard]] double bytesRead() const;
    [[nodiscard]] double totalBytes() const;
    [[nodiscard]] bool isCancelled() const { return cancelled; }
    // Milliseconds from the job's start to the moment its result arrived.
    [[nodiscard]] double elapsedMilliseconds() const { return elapsedMs; }
    // The load's result, once finished has been emitted; empty after a cancel.
    [[nodiscard]] Loaded takeResult();
    // The entry that takeResult would hand over, or null.
    [[nodiscard]] OpenLogEntry *loadedEntry() const { return result.entry.get(); }

    // Makes the worker stop reading; the models it may have built are dropped. finished still
    // comes, once the worker has ended; the call itself never waits.
    void cancel();

signals:
    void progressChanged();
    // On the job's thread, once the worker has ended; the job is done with it.
    void finished();

private:
    void run();
    void complete();

    QString logFolder;
    QString logName;
    FirstFilter firstFilter;
    LogRecordLoader::LoadControl control;
    QTimer progressTimer;
    qint64 lastReported = -1;
    QElapsedTimer clock;
    double elapsedMs = 0;
    bool cancelled = false;
    // Written by the worker before it hands the job back to its thread, read only after.
    Loaded result;
};
