#pragma once

#include "failure.h"

#include <QObject>

#include <atomic>
#include <memory>

// The row that a text search of an open log's visible rows found without blocking the
// window, as findNext or findPrevious would have found it when the search started. QML binds
// to its properties; finished() tells when the row is in.
class TextFind : public QObject
{
    Q_OBJECT
    // The row found; -1 until then, when no row holds the text or when the search could not
    // run.
    Q_PROPERTY(int row READ row NOTIFY finished)
    Q_PROPERTY(bool done READ isDone NOTIFY finished)

public:
    TextFind() = default;
    ~TextFind() override;

    [[nodiscard]] int row() const { return foundRow; }
    [[nodiscard]] bool isDone() const { return findDone; }
    // Why the search could not run (a file changed, memory ran out); none when it ran.
    [[nodiscard]] Failure failure() const { return findFailure; }

    // Whether the find is still there to take a row, for the worker that would search for it;
    // false once it is destroyed.
    [[nodiscard]] std::shared_ptr<const std::atomic<bool>> wanted() const { return stillWanted; }
    // Takes the search's result, on the interface thread.
    void finish(int row, Failure failure);

signals:
    void finished();

private:
    int foundRow = -1;
    bool findDone = false;
    Failure findFailure = Failure::none;
    std::shared_ptr<std::atomic<bool>> stillWanted = std::make_shared<std::atomic<bool>>(true);
};
