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

bool earlier(const QarnLog &a, const QarnLog &b)
{
    return a.dateTime < b.dateTime;
}

// One run of a merge, in reverse order: its next record is the last one, so that a taken
// record leaves the run at once and the run's storage behind it holds no records.
class ReversedRun
{
public:
    explicit ReversedRun(std::vector<QarnLog> &records)
        : records(records)
        , releasedFrom(std::min(alignUp(records.data() + records.size()),
              reinterpret_cast<uintptr_t>(records.data() + records.capacity()) & ~(step - 1)))
    { }

    [[nodiscard]] bool empty() const { return records.empty(); }
    [[nodiscard]] const QarnLog &next() const { return records.back(); }

    // Appends the next record to the merged list, numbered by its place there.
    void moveNextTo(std::vector<QarnLog> &merged)
    {
        merged.push_back(std::move(records.back()));
        merged.back().line = qint32(merged.size() - 1);
        records.pop_back();
        releaseFreedStorage();
    }

private:
    // Gives the storage behind the remaining records back to the system in large steps, so that
    // the merged list grows into memory just freed: on virtual machines the first touch of fresh
    // memory is the dearest part of a merge.
    void releaseFreedStorage()
    {
#if defined(Q_OS_LINUX)
        const uintptr_t from = alignUp(records.data() + records.size());
        if (from + step > releasedFrom)
            return;
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
    std::vector<QarnLog> &records;
    uintptr_t releasedFrom;
};

// The run whose next record comes first, ties going to the lower index; -1 when all are
// used up. Skips the run numbered except.
int firstRun(const std::vector<ReversedRun> &runs, int except)
{
    int best = -1;
    for (int i = 0; i < int(runs.size()); ++i) {
        if (i == except || runs[size_t(i)].empty())
            continue;
        if (best < 0 || earlier(runs[size_t(i)].next(), runs[size_t(best)].next()))
            best = i;
    }
    return best;
}

// Reverses every run, with the swaps of all runs shared evenly among the cores.
void reverseEach(std::vector<std::vector<QarnLog>> &runs)
{
    std::vector<size_t> firstSwap {0};
    for (const std::vector<QarnLog> &run : runs)
        firstSwap.push_back(firstSwap.back() + run.size() / 2);
    parallelFor(firstSwap.back(), 4096, [&](size_t begin, size_t end) {
        for (size_t run = 0; run < runs.size(); ++run) {
            const size_t from
                = std::clamp(begin, firstSwap[run], firstSwap[run + 1]) - firstSwap[run];
            const size_t to = std::clamp(end, firstSwap[run], firstSwap[run + 1]) - firstSwap[run];
            std::vector<QarnLog> &records = runs[run];
            for (size_t i = from; i < to; ++i)
                std::swap(records[i], records[records.size() - 1 - i]);
        }
    });
}

// Merges runs whose records are each sorted from the latest to the earliest, emptying them.
std::vector<QarnLog> mergeReversedRuns(std::vector<std::vector<QarnLog>> &sources)
{
    size_t total = 0;
    std::vector<ReversedRun> runs;
    runs.reserve(sources.size());
    for (std::vector<QarnLog> &source : sources) {
        total += source.size();
        runs.emplace_back(source);
    }
    std::vector<QarnLog> merged;
    merged.reserve(total);
    // Take from the first run for as long as it stays ahead of the best other run, so that
    // long stretches from one file cost one comparison per record.
    int current = firstRun(runs, -1);
    while (current >= 0) {
        const int rival = firstRun(runs, current);
        ReversedRun &run = runs[size_t(current)];
        if (rival < 0) {
            while (!run.empty())
                run.moveNextTo(merged);
            break;
        }
        const QarnLog &bound = runs[size_t(rival)].next();
        do
            run.moveNextTo(merged);
        while (!run.empty()
            && (rival < current ? earlier(run.next(), bound) : !earlier(bound, run.next())));
        // The run stopped being ahead, or ran out: the rival comes first now.
        current = rival;
    }
    return merged;
}

} // namespace

LogRecordLoader::Records LogRecordLoader::loadLogRecords(const QList<QFileInfo> &files)
{
    std::vector<std::future<Records>> jobs;
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
    std::vector<Records> runs;
    runs.reserve(jobs.size());
    for (std::future<Records> &job : jobs)
        runs.push_back(job.get());
    return mergeSortedRuns(std::move(runs));
}

// Runs on the parse job's thread, so that files that are out of order are sorted in parallel.
LogRecordLoader::Records LogRecordLoader::sortedRun(Records &&records)
{
    if (!std::is_sorted(records.begin(), records.end(), earlier))
        std::stable_sort(records.begin(), records.end(), earlier);
    return std::move(records);
}

LogRecordLoader::Records LogRecordLoader::mergeSortedRuns(std::vector<Records> &&sources)
{
    if (sources.size() != 1) {
        reverseEach(sources);
        return mergeReversedRuns(sources);
    }
    Records merged = std::move(sources.front());
    for (size_t i = 0; i < merged.size(); ++i)
        merged[i].line = qint32(i);
    return merged;
}
