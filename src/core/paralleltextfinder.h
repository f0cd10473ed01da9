#pragma once

#include "textmatcher.h"

#include <QString>

#include <vector>

// Finds the first of a list of texts that contains a needle, exactly code unit by code unit,
// splitting long lists among the threads of the parallel passes.
class ParallelTextFinder
{
public:
    explicit ParallelTextFinder(QString needle);

    // The first position i in [begin, end) whose text of row rows[i] contains the needle, or
    // -1. Every row must index texts. The empty needle is found in every text. Blocks until
    // the search has finished.
    [[nodiscard]] qsizetype findFirst(const SearchTextStore &texts, const std::vector<int> &rows,
        qsizetype begin, qsizetype end) const;

private:
    [[nodiscard]] qsizetype findInRange(const SearchTextStore &texts, const std::vector<int> &rows,
        qsizetype begin, qsizetype end) const;

    TextMatcher needle;
};
