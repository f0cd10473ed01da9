#include "logrecordloader.h"

#include "parallelfor.h"

#include <QFile>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <future>
#include <memory>

namespace {

using QarnLog = QarnLogParser::QarnLog;

using SortedRun = LogRecordLoader::SortedRun;

// One run of a merge, its records in reverse order and its keys in date order: the next
// record is the last one, so that the run's storage behind it holds only records already
// taken, which are destroyed and given back in large steps.
class ReversedRun
{
public:
    explicit ReversedRun(SortedRun &run)
        : records(&run.records)
        , remaining(records->size())
        , nextKey(run.dateKeys.keys.data())
        , releasedFrom(std::min(alignUp(records->data() + records->size()),
              reinterpret_cast<uintptr_t>(records->data() + records->capacity()) & ~(step - 1)))
    { }

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
        releaseTakenStorage();
    }

private:
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
    size_t remaining;
    const quint64 *nextKey;
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

// Reverses every run, with the swaps of all runs shared evenly among the cores.
void reverseEach(std::vector<SortedRun> &runs)
{
    std::vector<size_t> firstSwap {0};
    for (const SortedRun &run : runs)
        firstSwap.push_back(firstSwap.back() + run.records.size() / 2);
    parallelFor(firstSwap.back(), 4096, [&](size_t begin, size_t end) {
        for (size_t run = 0; run < runs.size(); ++run) {
            const size_t from
                = std::clamp(begin, firstSwap[run], firstSwap[run + 1]) - firstSwap[run];
            const size_t to = std::clamp(end, firstSwap[run], firstSwap[run + 1]) - firstSwap[run];
            std::vector<QarnLog> &records = runs[run].records;
            for (size_t i = from; i < to; ++i)
                std::swap(records[i], records[records.size() - 1 - i]);
        }
    });
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

// Merges runs whose records are each sorted from the latest to the earliest.
std::vector<QarnLog> mergeReversedRuns(std::vector<SortedRun> &sources)
{
    size_t total = 0;
    std::vector<ReversedRun> runs;
    runs.reserve(sources.size());
    for (SortedRun &source : sources) {
        total += source.records.size();
        if (!source.records.empty())
            runs.emplace_back(source);
    }
    std::vector<QarnLog> merged;
    merged.reserve(total);
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
    return mergeSortedRuns(std::move(runs));
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
        reverseEach(sources);
        return mergeReversedRuns(sources);
    }
    Records merged = std::move(sources.front().records);
    for (size_t i = 0; i < merged.size(); ++i)
        merged[i].line = qint32(i);
    return merged;
}
