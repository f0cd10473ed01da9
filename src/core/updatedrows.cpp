#include "updatedrows.h"

#include "logfiltermodel.h"
#include "recordindexupdate.h"

#include <algorithm>

UpdatedRows::UpdatedRows(
    const LogFilterModel &before, std::shared_ptr<const RecordIndexUpdate> update)
    : update(std::move(update))
{
    const std::vector<int> &rows = before.acceptedSourceRows();
    const auto first
        = std::lower_bound(rows.begin(), rows.end(), int(this->update->firstChangedRow()));
    firstShownRow = size_t(first - rows.begin());
    sourceRows = std::make_shared<const std::vector<int>>(first, rows.end());
}

OpenLog::RowMapping UpdatedRows::through(LogFilterModel *after) const
{
    const auto line = [update = update](int line) {
        const bool moved = line >= 0 && size_t(line) >= update->firstChangedRow()
            && size_t(line) < update->old()->size();
        return moved ? int(update->rowAfter(size_t(line))) : line;
    };
    const QPointer<LogFilterModel> filter(after);
    const auto row = [first = firstShownRow, sources = sourceRows, line, filter](int row) {
        if (!filter || row < 0 || size_t(row) < first || size_t(row) - first >= sources->size())
            return row;
        const std::vector<int> &rows = filter->acceptedSourceRows();
        const auto at
            = std::lower_bound(rows.begin(), rows.end(), line((*sources)[size_t(row) - first]));
        return rows.empty() ? -1
                            : int(std::min<size_t>(size_t(at - rows.begin()), rows.size() - 1));
    };
    return {row, line};
}
