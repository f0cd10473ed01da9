#pragma once

#include "logrecordloader.h"

#include <vector>

// Merges the sorted runs of a log's files into one list, equal dates keeping the order of the
// runs, and numbers the records from 0. Made for large logs: dates compare as numbers where
// they can, thousands of runs cost a loser tree's few matches per switch, and the runs' storage
// goes back to the system while the merged list grows.
class SortedRunMerger
{
public:
    // Takes the records out of the runs, which are left empty.
    [[nodiscard]] static LogRecordLoader::Records merge(
        std::vector<LogRecordLoader::SortedRun> &runs);
};
