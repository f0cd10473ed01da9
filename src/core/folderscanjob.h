#pragma once

#include "foldercatalogue.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class QStandardItem;
class QThreadPool;

// Scans one folder text on a worker thread and makes its folder model rows there, so that the
// thread that made the job only appends them. It tells how many files the walk has passed,
// and can be cancelled at any moment without waiting for the worker.
class FolderScanJob : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString folder READ folder CONSTANT)
    Q_PROPERTY(double filesSeen READ filesSeen NOTIFY progressChanged)

public:
    // What a scan found: one row per log, in the order openFolder appends them, and what the
    // window says under the folder.
    struct Result
    {
        std::vector<std::unique_ptr<QStandardItem>> rows;
        QString notice;
    };

    // Starts the scan on the pool at once; the job lives on the calling thread.
    FolderScanJob(const QString &folderText, QThreadPool &pool, QObject *parent);
    ~FolderScanJob() override;

    // The scan's folder text, as its rows will hold it.
    [[nodiscard]] QString folder() const { return scannedFolder; }
    [[nodiscard]] double filesSeen() const;
    [[nodiscard]] bool isCancelled() const { return cancelled; }
    [[nodiscard]] bool isFinished() const { return done; }
    // The scan's result, once finished has been emitted; empty after a cancel.
    [[nodiscard]] Result takeResult();

    // Makes the worker stop walking; what it found is dropped. finished still comes, once the
    // worker has ended; the call itself never waits.
    Q_INVOKABLE void cancel();

signals:
    void progressChanged();
    // On the job's thread, once the worker has ended; the job is done with it.
    void finished();

private:
    void run(const QString &folderText);
    void complete();

    QString scannedFolder;
    ScanControl control;
    QTimer progressTimer;
    qint64 lastReported = 0;
    bool cancelled = false;
    bool done = false;
    // Written by the worker before it hands the job back to its thread, read only after.
    Result result;
};
