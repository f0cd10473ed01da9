#pragma once

#include "recordindex.h"

#include <QString>

#include <optional>
#include <vector>

// Finds the first or the last visible row whose record holds a needle, in an indexed log:
// which records hold it is learnt once, in one pass over the files on every core, and the
// rows are then looked up in that answer. Throws FileChangedError when a file no longer holds
// the records indexed there, rather than answer from what could be read.
class IndexedFinder
{
public:
    // needle: lower-cased.
    IndexedFinder(const RecordIndex &index, QString needle);

    // The first position i in [begin, end) whose row rows[i] holds the needle, or -1.
    [[nodiscard]] qsizetype findFirst(
        const std::vector<int> &rows, qsizetype begin, qsizetype end) const;
    // The same for the last such position.
    [[nodiscard]] qsizetype findLast(
        const std::vector<int> &rows, qsizetype begin, qsizetype end) const;

private:
    [[nodiscard]] const std::vector<char> &matches() const;

    const RecordIndex &index;
    QString needle;
    mutable std::optional<std::vector<char>> matchingRows;
};
