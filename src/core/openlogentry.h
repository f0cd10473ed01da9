#pragma once

#include "logfiltermodel.h"
#include "logmodel.h"

#include <QString>
#include <QStringList>

#include <future>
#include <limits>
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
        return visibleRecordStart(row, std::numeric_limits<qint64>::max());
    }
    // The same with only the first maxBytes (a multiple of four) of the record read.
    [[nodiscard]] std::optional<QarnLogParser::QarnLog> visibleRecordStart(
        int row, qint64 maxBytes) const
    {
        const int source = sourceRow(row);
        return source >= 0 ? model->recordStart(size_t(source), maxBytes) : std::nullopt;
    }
    // The bytes the record shown at a row takes in its file; 0 for none.
    [[nodiscard]] qint64 visibleRecordBytes(int row) const
    {
        const int source = sourceRow(row);
        return source >= 0 ? model->recordBytes(size_t(source)) : 0;
    }
    // The record model's row shown at a row of the filter model, or -1.
    [[nodiscard]] int sourceRow(int row) const
    {
        const auto &rows = filter->acceptedSourceRows();
        return row >= 0 && size_t(row) < rows.size() ? int(rows[size_t(row)]) : -1;
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
