#pragma once

#include "textmatcher.h"

#include <QString>

#include <vector>

// Finds the first or the last of a list of texts that contains a needle, exactly code unit by
// code unit, splitting long lists among the threads of the parallel passes.
class ParallelTextFinder
{
public:
    explicit ParallelTextFinder(QString needle);

    // The first position i in [begin, end) whose text of row rows[i] contains the needle, or
    // -1. Every row must index texts. The empty needle is found in every text. Blocks until
    // the search has finished.
    [[nodiscard]] qsizetype findFirst(const SearchTextStore &texts, const std::vector<int> &rows,
        qsizetype begin, qsizetype end) const;
    // The same for the last such position, searching from end down.
    [[nodiscard]] qsizetype findLast(const SearchTextStore &texts, const std::vector<int> &rows,
        qsizetype begin, qsizetype end) const;

private:
    // The smallest step k in [0, count) whose row rows[positionAt(k)] contains the needle, or
    // -1; the steps are searched in order, in pieces shared by two threads.
    template<typename PositionAt>
    [[nodiscard]] qsizetype findEarliestStep(const SearchTextStore &texts,
        const std::vector<int> &rows, qsizetype count, const PositionAt &positionAt) const;
    template<typename PositionAt>
    [[nodiscard]] qsizetype findInSteps(const SearchTextStore &texts, const std::vector<int> &rows,
        qsizetype from, qsizetype to, const PositionAt &positionAt) const;

    TextMatcher needle;
};
