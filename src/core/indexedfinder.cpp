#include "indexedfinder.h"

#include "failure.h"
#include "indexedsearch.h"

IndexedFinder::IndexedFinder(const RecordIndex &index, QString needle)
    : index(index)
    , needle(std::move(needle))
{ }

const std::vector<char> &IndexedFinder::matches() const
{
    if (!matchingRows) {
        std::vector<char> passes(index.size(), 1);
        if (!IndexedSearch(index, {needle}, true).narrow(passes))
            throw FileChangedError();
        matchingRows = std::move(passes);
    }
    return *matchingRows;
}

qsizetype IndexedFinder::findFirst(
    const std::vector<int> &rows, qsizetype begin, qsizetype end) const
{
    if (begin >= end)
        return -1;
    const std::vector<char> &found = matches();
    for (qsizetype i = begin; i < end; ++i) {
        if (found[size_t(rows[size_t(i)])])
            return i;
    }
    return -1;
}

qsizetype IndexedFinder::findLast(
    const std::vector<int> &rows, qsizetype begin, qsizetype end) const
{
    if (begin >= end)
        return -1;
    const std::vector<char> &found = matches();
    for (qsizetype i = end - 1; i >= begin; --i) {
        if (found[size_t(rows[size_t(i)])])
            return i;
    }
    return -1;
}
