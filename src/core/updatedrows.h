#pragma once

#include "openlog.h"

#include <QPointer>

#include <memory>
#include <vector>

class LogFilterModel;
class RecordIndexUpdate;

// How the rows that a followed log showed before an update map to those after it. The rows
// before the update's first changed row keep their place; the others are found again through
// their record's row in the updated index.
class UpdatedRows
{
public:
    // Takes what before shows from the update's first changed row on: before the new filter
    // model takes its rows over.
    UpdatedRows(const LogFilterModel &before, std::shared_ptr<const RecordIndexUpdate> update);

    // The mapping of rows and record numbers, through the filter model after the update.
    [[nodiscard]] OpenLog::RowMapping through(LogFilterModel *after) const;

private:
    std::shared_ptr<const RecordIndexUpdate> update;
    // The place of the first row shown at or after the first changed row, and the source rows
    // of the rows shown from there.
    size_t firstShownRow;
    std::shared_ptr<const std::vector<int>> sourceRows;
};
