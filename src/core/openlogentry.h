#pragma once

#include "logfiltermodel.h"
#include "logmodel.h"

#include <QString>
#include <QStringList>

#include <future>
#include <memory>
#include <optional>

// One open log: its key, the two models that show it and what the window says about it.
// Move-only; destroying an entry destroys its filter model first, then its record model.
struct OpenLogEntry
{
    QString folder;
    QString name;
    std::unique_ptr<LogModel> model;
    std::unique_ptr<LogFilterModel> filter;
    // What the open met: unreadable files, no records, cut lines; one line each.
    QStringList notices;
    // The record shown at a row of the filter model, or nothing when there is no such row or
    // its file no longer holds it.
    [[nodiscard]] std::optional<QarnLogParser::QarnLog> visibleRecord(int row) const
    {
        const auto &rows = filter->acceptedSourceRows();
        return row >= 0 && size_t(row) < rows.size() ? model->recordAt(size_t(rows[size_t(row)]))
                                                     : std::nullopt;
    }

    // How the last text search failed; searches are const, as is the entry they find.
    mutable Failure searchFailure = Failure::none;
    // Set once a worker waits for the search texts and takes them from the record model (for
    // a log loaded in the background, or filtered there). Until it has, no other thread may
    // fetch them: the core's own readers wait for it, and nothing else may read the record
    // model's searchTextRole meanwhile. Invalid while no worker takes them.
    std::shared_future<void> searchTextsTaken {};
    // Blocks until the worker has taken the search texts; at once when they are taken.
    void waitForSearchTexts() const
    {
        if (searchTextsTaken.valid())
            searchTextsTaken.wait();
    }
};
