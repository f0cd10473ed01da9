#include "sortedrunmerger.h"

#include "parallelfor.h"

#include <QScopeGuard>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <system_error>
#include <thread>
#include <tuple>

namespace {

using QarnLog = QarnLogParser::QarnLog;

using SortedRun = LogRecordLoader::SortedRun;

// The storage of taken records is given back in steps of this many bytes.
constexpr uintptr_t releaseStep = uintptr_t(2) << 20;

// The first step edge at or after `at`.
uintptr_t alignUp(const QarnLog *at, uintptr_t step = releaseStep)
{
    return (reinterpret_cast<uintptr_t>(at) + step - 1) & ~(step - 1);
}

// Where the storage that taking a run's records can give back ends: at the last step edge
// within it, and only where records were, since the reserved room beyond them was never touched.
uintptr_t releasableEnd(const LogRecordLoader::Records &records)
{
    return std::min(alignUp(records.data() + records.size()),
        reinterpret_cast<uintptr_t>(records.data() + records.capacity()) & ~(releaseStep - 1));
}

// Only a run whose storage holds a whole step is worth reversing: a smaller one gives nothing
// back, and thousands of small files make thousands of such runs.
bool worthReversing(const LogRecordLoader::Records &records)
{
    return releasableEnd(records) >= alignUp(records.data()) + releaseStep;
}

// One run of a merge, with its keys in date order. A run worth reversing has its records in
// reverse order and is read from its end, so that its storage behind the next record holds only
// records already taken, which are destroyed and given back in large steps; the reversal runs
// alongside on another thread, and a record is read only once it has been put in its place.
// Any other run is read from its start.
class MergeRun
{
public:
    // swapsDone tells how far the run's reversal has come; null for a run read from its start.
    MergeRun(SortedRun &run, const std::atomic<size_t> *swapsDone)
        : records(&run.records)
        , total(records->size())
        , remaining(total)
        , keyOfNext(run.dateKeys.keys.data())
        , swapsDone(swapsDone)
        , readyBelow(swapsDone ? 0 : total)
        , nextAt(swapsDone ? qsizetype(total) - 1 : 0)
        , direction(swapsDone ? -1 : 1)
        , releasedFrom(swapsDone ? releasableEnd(*records) : 0)
    {
        awaitNext();
    }

    [[nodiscard]] bool empty() const { return remaining == 0; }
    [[nodiscard]] quint64 nextKey() const { return *keyOfNext; }
    // Whether this run's next record comes before the other run's.
    [[nodiscard]] bool isAheadOf(const MergeRun &other) const
    {
        return DateKeys::earlier(next(), *keyOfNext, other.next(), *other.keyOfNext);
    }

    // Appends the next record to the merged list, numbered by its place there.
    void moveNextTo(std::vector<QarnLog> &merged)
    {
        merged.push_back(std::move((*records)[size_t(nextAt)]));
        merged.back().line = qint32(merged.size() - 1);
        nextAt += direction;
        --remaining;
        ++keyOfNext;
        awaitNext();
        if (remaining > 0)
            releaseTakenStorage();
        else
            releaseStorage();
    }

private:
    [[nodiscard]] const QarnLog &next() const { return (*records)[size_t(nextAt)]; }

    // Waits until the reversal has put the next record in its place.
    void awaitNext()
    {
        const size_t taken = total - remaining;
        while (remaining > 0 && taken >= readyBelow) {
            const size_t done = swapsDone->load(std::memory_order_acquire);
            readyBelow = done >= total / 2 ? total : done;
            if (taken >= readyBelow)
                std::this_thread::yield();
        }
    }

    // Gives the storage of taken records back to the system in large steps, so that the merged
    // list grows into memory just freed: on virtual machines the first touch of fresh memory is
    // the dearest part of a merge. A run read from its start gives nothing back before it is
    // used up: its releasedFrom is 0.
    void releaseTakenStorage()
    {
#if defined(Q_OS_LINUX)
        const uintptr_t from = alignUp(records->data() + remaining);
        if (from + releaseStep > releasedFrom)
            return;
        records->resize(remaining);
        madvise(reinterpret_cast<void *>(from), releasedFrom - from, MADV_DONTNEED);
        releasedFrom = from;
#endif
    }

    // Gives the whole storage of a used-up run back, down to single pages: in a log of many
    // small files that follow each other in time, their lists go as the merged list grows.
    void releaseStorage()
    {
#if defined(Q_OS_LINUX)
        static const auto pageSize = uintptr_t(sysconf(_SC_PAGESIZE));
        const uintptr_t from = alignUp(records->data(), pageSize);
        const uintptr_t to
            = reinterpret_cast<uintptr_t>(records->data() + records->capacity()) & ~(pageSize - 1);
        records->clear();
        if (from < to)
            madvise(reinterpret_cast<void *>(from), to - from, MADV_DONTNEED);
#endif
    }

    std::vector<QarnLog> *records;
    size_t total;
    size_t remaining;
    const quint64 *keyOfNext;
    const std::atomic<size_t> *swapsDone;
    size_t readyBelow;
    qsizetype nextAt;
    qsizetype direction;
    uintptr_t releasedFrom;
};

// Picks the run to take records from and its rival, the first of the others, ties going to
// the lower place. The others sit in the slots of a loser tree: slot i is the leaf at node
// slotCount + i, each inner node keeps the entry that lost the match of its two subtrees, and node
// 0 the rival. On a switch the current run takes the rival's slot and only that slot's path is
// played again: with thousands of runs a switch costs a dozen matches, not thousands, and with
// three runs one, as a plain scan would. Entries keep the keys of their runs' next records, so
// that most matches read nothing else.
class RunTournament
{
public:
    // A run's key of its next record, its place and its slot; a used-up run has noRun.
    struct Entry
    {
        quint64 key;
        quint32 run;
        quint32 slot;
    };
    static constexpr quint32 noRun = ~quint32(0);

    // Needs one run at least, none of them empty.
    explicit RunTournament(const std::vector<MergeRun> &runs)
        : runs(runs)
        , slotCount(runs.size() - 1)
        , nodes(std::max<size_t>(slotCount, 1))
    {
        for (size_t run = 1; run < runs.size(); ++run) {
            if (precedes(entryOf(run, 0), entryOf(currentRun, 0)))
                currentRun = run;
        }
        std::vector<Entry> winners(2 * slotCount);
        for (size_t slot = 0; slot < slotCount; ++slot)
            winners[slotCount + slot] = entryOf(slot < currentRun ? slot : slot + 1, slot);
        for (size_t node = slotCount; node-- > 1;) {
            const Entry &left = winners[2 * node];
            const Entry &right = winners[2 * node + 1];
            const bool leftWins = precedes(left, right);
            winners[node] = leftWins ? left : right;
            nodes[node] = leftWins ? right : left;
        }
        nodes[0] = slotCount > 0 ? winners[1] : Entry {DateKeys::none, noRun, 0};
    }

    [[nodiscard]] size_t current() const { return currentRun; }
    // Whether the current run's next record comes before the rival's.
    [[nodiscard]] bool currentIsAhead() const { return precedes(entryOf(currentRun, 0), nodes[0]); }

    // Turns to the rival and puts the current run in its slot; false when no other run has
    // records left.
    bool switchToRival()
    {
        const Entry rival = nodes[0];
        if (rival.run == noRun)
            return false;
        Entry moved = entryOf(currentRun, rival.slot);
        currentRun = rival.run;
        for (size_t node = (slotCount + rival.slot) / 2; node > 0; node /= 2) {
            if (precedes(nodes[node], moved))
                std::swap(nodes[node], moved);
        }
        nodes[0] = moved;
        return true;
    }

private:
    [[nodiscard]] Entry entryOf(size_t run, size_t slot) const
    {
        return runs[run].empty() ? Entry {DateKeys::none, noRun, quint32(slot)}
                                 : Entry {runs[run].nextKey(), quint32(run), quint32(slot)};
    }

    // Whether a's next record comes before b's, a and b being entries of different runs.
    [[nodiscard]] bool precedes(const Entry &a, const Entry &b) const
    {
        if (a.key != DateKeys::none && b.key != DateKeys::none)
            return std::tie(a.key, a.run) < std::tie(b.key, b.run);
        if (a.run == noRun)
            return false;
        if (b.run == noRun)
            return true;
        const MergeRun &first = runs[a.run];
        const MergeRun &second = runs[b.run];
        return a.run < b.run ? !second.isAheadOf(first) : first.isAheadOf(second);
    }

    const std::vector<MergeRun> &runs;
    size_t slotCount;
    std::vector<Entry> nodes;
    size_t currentRun = 0;
};

// Reverses every run, a part of each in turn, and publishes how far each has come: the merge
// starts at once and takes the records as they reach their places, so that the reversal costs
// the other core's time rather than the merge's.
void reverseInTurns(
    const std::vector<std::pair<QarnLog *, size_t>> &runs, std::vector<std::atomic<size_t>> &done)
{
    constexpr size_t swapsPerTurn = 4096;
    for (bool more = true; more;) {
        more = false;
        for (size_t run = 0; run < runs.size(); ++run) {
            const auto [records, size] = runs[run];
            const size_t from = done[run].load(std::memory_order_relaxed);
            const size_t to = std::min(from + swapsPerTurn, size / 2);
            for (size_t i = from; i < to; ++i)
                std::swap(records[i], records[size - 1 - i]);
            done[run].store(to, std::memory_order_release);
            more = more || to < size / 2;
        }
    }
}

// Gives every run keys that compare with those of the others: runs put together by hand may
// come without keys, and runs whose dates have another shape than the first keep none.
void matchDateKeys(std::vector<SortedRun> &runs)
{
    for (SortedRun &run : runs) {
        if (run.dateKeys.keys.size() != run.records.size())
            run.dateKeys = DateKeys(run.records);
    }
    const auto shaped = std::find_if(
        runs.begin(), runs.end(), [](const SortedRun &run) { return run.dateKeys.hasShape(); });
    if (shaped == runs.end())
        return;
    for (SortedRun &run : runs)
        run.dateKeys.adoptShapeOf(shaped->dateKeys);
}

// Faults in the pages of the merged list a little ahead of the merge, on another thread: the
// first touch of fresh memory is a large part of a merge, and the merge itself then writes
// into pages that are there. Only a little ahead, so that the storage the merge gives back
// from the runs still makes room for it.
class PagesAhead
{
public:
    PagesAhead(const QarnLog *start, size_t count)
        : start(reinterpret_cast<uintptr_t>(start))
        , end(this->start + count * sizeof(QarnLog))
    { }

    // The merge has filled this many records.
    void reached(size_t records) { filled.store(records, std::memory_order_relaxed); }
    void stop() { stopped.store(true, std::memory_order_relaxed); }

    void run()
    {
#if defined(Q_OS_LINUX) && defined(MADV_POPULATE_WRITE)
        constexpr uintptr_t page = 4096;
        constexpr uintptr_t step = uintptr_t(2) << 20;
        constexpr uintptr_t lead = uintptr_t(64) << 20;
        for (uintptr_t at = (start + page - 1) & ~(page - 1); at < end;) {
            if (stopped.load(std::memory_order_relaxed))
                return;
            const uintptr_t reached
                = start + filled.load(std::memory_order_relaxed) * sizeof(QarnLog);
            if (at >= reached + lead) {
                std::this_thread::sleep_for(std::chrono::microseconds(50));
                continue;
            }
            const uintptr_t to = std::min(at + step, end & ~(page - 1));
            if (to <= at
                || madvise(reinterpret_cast<void *>(at), to - at, MADV_POPULATE_WRITE) != 0)
                return;
            at = to;
        }
#endif
    }

private:
    uintptr_t start;
    uintptr_t end;
    std::atomic<size_t> filled {0};
    std::atomic<bool> stopped {false};
};

// Merges runs sorted from the earliest to the latest record, reversing the large ones on the
// way.
std::vector<QarnLog> mergeRuns(std::vector<SortedRun> &sources)
{
    size_t total = 0;
    std::vector<std::pair<QarnLog *, size_t>> spans;
    for (SortedRun &source : sources) {
        total += source.records.size();
        if (worthReversing(source.records))
            spans.emplace_back(source.records.data(), source.records.size());
    }
    std::vector<QarnLog> merged;
    merged.reserve(total);
    // Declared before the reversal's future, whose destruction waits for the reversal.
    std::vector<std::atomic<size_t>> swapsDone(spans.size());
    std::future<void> reversal;
    if (!spans.empty())
        reversal = runOnAnotherThread([&] { reverseInTurns(spans, swapsDone); });
    std::vector<MergeRun> runs;
    runs.reserve(sources.size());
    size_t reversed = 0;
    for (SortedRun &source : sources) {
        if (!source.records.empty())
            runs.emplace_back(
                source, worthReversing(source.records) ? &swapsDone[reversed++] : nullptr);
    }
    if (runs.empty())
        return merged;
    PagesAhead pages(merged.data(), total);
    // Declared after the pages: its destruction waits for them, once they were told to stop.
    std::future<void> populating;
    const auto stopPages = qScopeGuard([&] { pages.stop(); });
    try {
        populating = std::async(std::launch::async, [&] { pages.run(); });
    } catch (const std::system_error &) {
        // The merge touches its pages itself.
    }
    // Take from one run for as long as it stays ahead of the best other run, so that long
    // stretches from one file cost one comparison per record.
    RunTournament tournament(runs);
    do {
        MergeRun &run = runs[tournament.current()];
        while (!run.empty() && tournament.currentIsAhead()) {
            run.moveNextTo(merged);
            pages.reached(merged.size());
        }
    } while (tournament.switchToRival());
    return merged;
}

} // namespace

LogRecordLoader::Records SortedRunMerger::merge(std::vector<LogRecordLoader::SortedRun> &runs)
{
    matchDateKeys(runs);
    return mergeRuns(runs);
}
