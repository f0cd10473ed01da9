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
    const qsizetype step
        = findEarliestStep(texts, rows, end - begin, [begin](qsizetype k) { return begin + k; });
    return step < 0 ? -1 : begin + step;
}

qsizetype ParallelTextFinder::findLast(const SearchTextStore &texts, const std::vector<int> &rows,
    qsizetype begin, qsizetype end) const
{
    const qsizetype step
        = findEarliestStep(texts, rows, end - begin, [end](qsizetype k) { return end - 1 - k; });
    return step < 0 ? -1 : end - 1 - step;
}

template<typename PositionAt>
qsizetype ParallelTextFinder::findEarliestStep(const SearchTextStore &texts,
    const std::vector<int> &rows, qsizetype count, const PositionAt &positionAt) const
{
    if (count <= chunkRows)
        return findInSteps(texts, rows, 0, count, positionAt);
    // Pieces are handed out in ascending order, so once a match is known no later piece
    // needs to be searched; every earlier piece is still finished by whoever took it.
    std::atomic<qsizetype> nextPiece {0};
    std::atomic<qsizetype> found {count};
    // Each part is one worker, which ignores its range and takes the next piece.
    const auto work = [&](size_t, size_t) {
        for (;;) {
            const qsizetype from = nextPiece.fetch_add(chunkRows);
            if (from >= count || from >= found.load())
                return;
            const qsizetype hit
                = findInSteps(texts, rows, from, std::min(from + chunkRows, count), positionAt);
            if (hit >= 0) {
                offer(found, hit);
                return;
            }
        }
    };
    const qsizetype pieces = (count + chunkRows - 1) / chunkRows;
    parallelParts(0, std::min(threadCount(), size_t(pieces)), work);
    return found.load() < count ? found.load() : -1;
}

template<typename PositionAt>
qsizetype ParallelTextFinder::findInSteps(const SearchTextStore &texts,
    const std::vector<int> &rows, qsizetype from, qsizetype to, const PositionAt &positionAt) const
{
    for (qsizetype k = from; k < to; ++k) {
        if (needle.occursIn(texts, size_t(rows[size_t(positionAt(k))])))
            return k;
    }
    return -1;
}
