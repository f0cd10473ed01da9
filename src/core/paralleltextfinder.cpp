#include "paralleltextfinder.h"

#include "parallelfor.h"

#include <algorithm>
#include <atomic>

namespace {

// Rows per piece of work: large enough that handing out pieces costs nothing, small enough
// that a match near the start ends the search soon.
constexpr qsizetype chunkRows = 8192;

// Lowers found to position unless it is already lower.
void offer(std::atomic<qsizetype> &found, qsizetype position)
{
    qsizetype current = found.load();
    while (position < current && !found.compare_exchange_weak(current, position)) { }
}

} // namespace

ParallelTextFinder::ParallelTextFinder(QString text)
    : needle(std::move(text))
{ }

qsizetype ParallelTextFinder::findFirst(const SearchTextStore &texts, const std::vector<int> &rows,
    qsizetype begin, qsizetype end) const
{
    if (end - begin <= chunkRows)
        return findInRange(texts, rows, begin, end);
    // Pieces are handed out in ascending order, so once a match is known no later piece
    // needs to be searched; every earlier piece is still finished by whoever took it.
    std::atomic<qsizetype> nextPiece {begin};
    std::atomic<qsizetype> found {end};
    // Each part is one worker, which ignores its range and takes the next piece.
    const auto work = [&](size_t, size_t) {
        for (;;) {
            const qsizetype from = nextPiece.fetch_add(chunkRows);
            if (from >= end || from >= found.load())
                return;
            const qsizetype hit = findInRange(texts, rows, from, std::min(from + chunkRows, end));
            if (hit >= 0) {
                offer(found, hit);
                return;
            }
        }
    };
    const qsizetype pieces = (end - begin + chunkRows - 1) / chunkRows;
    parallelParts(0, std::min(threadCount(), size_t(pieces)), work);
    return found.load() < end ? found.load() : -1;
}

qsizetype ParallelTextFinder::findInRange(const SearchTextStore &texts,
    const std::vector<int> &rows, qsizetype begin, qsizetype end) const
{
    for (qsizetype i = begin; i < end; ++i) {
        if (needle.occursIn(texts, size_t(rows[size_t(i)])))
            return i;
    }
    return -1;
}
