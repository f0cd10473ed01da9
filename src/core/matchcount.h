#pragma once

#include "openlogentry.h"
#include "resultworkers.h"

#include <QObject>
#include <QString>

// How many of an open log's visible rows hold a text, counted without blocking the window:
// the rows and the log's index are taken when the count starts, so that the log may be
// filtered, reloaded or closed meanwhile. QML binds to its properties; finished() tells when
// the count is in.
class MatchCount : public QObject
{
    Q_OBJECT
    // The rows that hold the text, -1 until counted or when the count could not be made.
    Q_PROPERTY(int matches READ matches NOTIFY finished)
    // The visible rows when the count started.
    Q_PROPERTY(int rows READ rows CONSTANT)
    Q_PROPERTY(bool done READ isDone NOTIFY finished)
    // "12 of 3,402" once counted; empty before and when the count failed.
    Q_PROPERTY(QString text READ text NOTIFY finished)

public:
    explicit MatchCount(int rows);

    [[nodiscard]] int matches() const { return matchCount; }
    [[nodiscard]] int rows() const { return rowCount; }
    [[nodiscard]] bool isDone() const { return countDone; }
    [[nodiscard]] QString text() const;

    // Starts counting the visible rows of the log that hold str, ignoring letter case as the
    // text searches do, and returns the count's object, which has no parent. The log's index
    // is read on one of the caller's workers; the result comes through the event loop, and the
    // object may be destroyed before it does. A log without an index (records set in memory)
    // gives no count.
    [[nodiscard]] static MatchCount *start(
        const OpenLogEntry &log, const QString &str, ResultWorkers &workers);

signals:
    void finished();

private:
    void finish(int count);
    // Hands a result to the count on the interface thread, unless it is gone by then; from
    // any thread.
    static void deliver(QPointer<MatchCount> receiver, int matches);

    int rowCount;
    int matchCount = -1;
    bool countDone = false;
};
