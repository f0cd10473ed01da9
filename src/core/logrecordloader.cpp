#include "logrecordloader.h"

#include <QFile>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <atomic>
#include <future>
#include <memory>
#include <system_error>
#include <thread>

namespace {

using QarnLog = QarnLogParser::QarnLog;

using SortedRun = LogRecordLoader::SortedRun;

// One run of a merge, its records in reverse order and its keys in date order: the next
// record is the last one, so that the run's storage behind it holds only records already
// taken, which are destroyed and given back in large steps. The reversal runs alongside on
// another thread; a record is read only once it has been put in its place.
class ReversedRun
{
public:
    ReversedRun(SortedRun &run, const std::atomic<size_t> &swapsDone)
        : records(&run.records)
        , total(records->size())
        , remaining(total)
        , nextKey(run.dateKeys.keys.data())
        , swapsDone(&swapsDone)
        , releasedFrom(std::min(alignUp(records->data() + total),
              reinterpret_cast<uintptr_t>(records->data() + records->capacity()) & ~(step - 1)))
    {
        awaitNext();
    }

    [[nodiscard]] bool empty() const { return remaining == 0; }
    // Whether this run's next record comes before the other run's.
    [[nodiscard]] bool isAheadOf(const ReversedRun &other) const
    {
        return DateKeys::earlier((*records)[remaining - 1], *nextKey,
            (*other.records)[other.remaining - 1], *other.nextKey);
    }

    // Appends the next record to the merged list, numbered by its place there.
    void moveNextTo(std::vector<QarnLog> &merged)
    {
        merged.push_back(std::move((*records)[--remaining]));
        merged.back().line = qint32(merged.size() - 1);
        ++nextKey;
        awaitNext();
        releaseTakenStorage();
    }

private:
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
    // the dearest part of a merge.
    void releaseTakenStorage()
    {
#if defined(Q_OS_LINUX)
        const uintptr_t from = alignUp(records->data() + remaining);
        if (from + step > releasedFrom)
            return;
        records->resize(remaining);
        madvise(reinterpret_cast<void *>(from), releasedFrom - from, MADV_DONTNEED);
        releasedFrom = from;
#endif
    }

    // The first step edge at or after `at`.
    static uintptr_t alignUp(const QarnLog *at)
    {
        return (reinterpret_cast<uintptr_t>(at) + step - 1) & ~(step - 1);
    }

    // Whole huge pages; the storage is released only up to the last such edge within it, and
    // only from where records were: the reserved room beyond them was never touched.
    static constexpr uintptr_t step = uintptr_t(2) << 20;
    std::vector<QarnLog> *records;
    size_t total;
    size_t remaining;
    const quint64 *nextKey;
    const std::atomic<size_t> *swapsDone;
    size_t readyBelow = 0;
    uintptr_t releasedFrom;
};

// The run whose next record comes first, ties going to the lower place, among all runs but
// the one at place except (which may be past the end). Needs two runs at least.
size_t firstRunBut(const std::vector<ReversedRun> &runs, size_t except)
{
    size_t best = except == 0 ? 1 : 0;
    for (size_t i = best + 1; i < runs.size(); ++i) {
        if (i != except && runs[i].isAheadOf(runs[best]))
            best = i;
    }
    return best;
}

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

// Merges runs sorted from the earliest to the latest record, reversing them on the way.
std::vector<QarnLog> mergeReversedRuns(std::vector<SortedRun> &sources)
{
    size_t total = 0;
    std::vector<std::pair<QarnLog *, size_t>> spans;
    for (SortedRun &source : sources) {
        total += source.records.size();
        spans.emplace_back(source.records.data(), source.records.size());
    }
    std::vector<QarnLog> merged;
    merged.reserve(total);
    // Declared before the reversal's future, whose destruction waits for the reversal.
    std::vector<std::atomic<size_t>> swapsDone(sources.size());
    std::future<void> reversal;
    try {
        reversal = std::async(std::launch::async, [&] { reverseInTurns(spans, swapsDone); });
    } catch (const std::system_error &) {
        reverseInTurns(spans, swapsDone);
    }
    std::vector<ReversedRun> runs;
    runs.reserve(sources.size());
    for (size_t run = 0; run < sources.size(); ++run) {
        if (!sources[run].records.empty())
            runs.emplace_back(sources[run], swapsDone[run]);
    }
    // Take from one run for as long as it stays ahead of the best other run, so that long
    // stretches from one file cost one comparison per record. A run used up leaves the list.
    size_t current = runs.size() > 1 ? firstRunBut(runs, runs.size()) : 0;
    while (runs.size() > 1) {
        size_t rival = firstRunBut(runs, current);
        ReversedRun &run = runs[current];
        const ReversedRun &bound = runs[rival];
        do
            run.moveNextTo(merged);
        while (!run.empty() && (rival < current ? run.isAheadOf(bound) : !bound.isAheadOf(run)));
        if (run.empty()) {
            runs.erase(runs.begin() + std::ptrdiff_t(current));
            rival -= rival > current ? 1 : 0;
        }
        // The run stopped being ahead, or ran out: the rival comes first now.
        current = rival;
    }
    for (ReversedRun &last : runs) {
        while (!last.empty())
            last.moveNextTo(merged);
    }
    return merged;
}

} // namespace

LogRecordLoader::Records LogRecordLoader::loadLogRecords(const QList<QFileInfo> &files)
{
    return loadLog(files).records;
}

LogRecordLoader::LoadedLog LogRecordLoader::loadLog(const QList<QFileInfo> &files)
{
    LoadedLog loaded;
    loaded.records = mergeSortedRuns(parseSortedRuns(files));
    return loaded;
}

std::vector<LogRecordLoader::SortedRun> LogRecordLoader::parseSortedRuns(
    const QList<QFileInfo> &files)
{
    std::vector<std::future<SortedRun>> jobs;
    jobs.reserve(size_t(files.size()));
    for (const QFileInfo &info : files) {
        auto file = std::make_unique<QFile>(info.absoluteFilePath());
        if (!file->open(QIODevice::ReadOnly))
            continue;
        QFile *device = file.release();
        try {
            jobs.push_back(std::async(
                std::launch::async, [device] { return sortedRun(QarnLogParser::parse(device)); }));
        } catch (...) {
            delete device;
            throw;
        }
    }
    std::vector<SortedRun> runs;
    runs.reserve(jobs.size());
    for (std::future<SortedRun> &job : jobs)
        runs.push_back(job.get());
    return runs;
}

// Runs on the parse job's thread, so that files that are out of order are sorted in parallel.
LogRecordLoader::SortedRun LogRecordLoader::sortedRun(Records &&records)
{
    DateKeys dateKeys(records);
    if (!dateKeys.inOrder(records)) {
        std::stable_sort(records.begin(), records.end(),
            [](const QarnLog &a, const QarnLog &b) { return a.dateTime < b.dateTime; });
        dateKeys = DateKeys(records);
    }
    return {std::move(records), std::move(dateKeys)};
}

LogRecordLoader::Records LogRecordLoader::mergeSortedRuns(std::vector<SortedRun> &&sources)
{
    if (sources.size() != 1) {
        matchDateKeys(sources);
        return mergeReversedRuns(sources);
    }
    Records merged = std::move(sources.front().records);
    for (size_t i = 0; i < merged.size(); ++i)
        merged[i].line = qint32(i);
    return merged;
}
