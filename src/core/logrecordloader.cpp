#include "logrecordloader.h"

#include <QFile>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#include <unistd.h>
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

// One run of a merge: the records not taken yet.
struct Run
{
    std::vector<QarnLog>::iterator next;
    std::vector<QarnLog>::iterator end;
};

// The run whose next record comes first, ties going to the lower index; -1 when all are
// used up. Skips the run numbered except.
int firstRun(const std::vector<Run> &runs, int except)
{
    int best = -1;
    for (int i = 0; i < int(runs.size()); ++i) {
        if (i == except || runs[size_t(i)].next == runs[size_t(i)].end)
            continue;
        if (best < 0 || earlier(*runs[size_t(i)].next, *runs[size_t(best)].next))
            best = i;
    }
    return best;
}

// Reserves room for count records and, on Linux, has the kernel map all of it at once, in
// large pages where it can: on some virtual machines a fault per 4 KiB page costs more than
// the whole merge.
void reserveMapped(std::vector<QarnLog> &records, size_t count)
{
    records.reserve(count);
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE) && defined(MADV_POPULATE_WRITE)
    const auto page = uintptr_t(sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<uintptr_t>(records.data()) + page - 1) & ~(page - 1);
    const auto end = reinterpret_cast<uintptr_t>(records.data() + count) & ~(page - 1);
    if (end <= begin)
        return;
    // Only hints: where they fail, the pages are mapped one by one as they are written.
    madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
    madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
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
    if (sources.size() <= 1) {
        Records records = sources.empty() ? Records() : std::move(sources.front());
        for (size_t i = 0; i < records.size(); ++i)
            records[i].line = qint32(i);
        return records;
    }
    size_t total = 0;
    std::vector<Run> runs;
    runs.reserve(sources.size());
    for (Records &source : sources) {
        total += source.size();
        runs.push_back({source.begin(), source.end()});
    }
    Records merged;
    reserveMapped(merged, total);
    const auto take = [&merged](Run &run) {
        merged.push_back(std::move(*run.next));
        merged.back().line = qint32(merged.size() - 1);
        ++run.next;
    };
    // Take from the first run for as long as it stays ahead of the best other run, so that
    // long stretches from one file cost one comparison per record.
    int current = firstRun(runs, -1);
    while (current >= 0) {
        const int rival = firstRun(runs, current);
        Run &run = runs[size_t(current)];
        if (rival < 0) {
            while (run.next != run.end)
                take(run);
            break;
        }
        const QarnLog &bound = *runs[size_t(rival)].next;
        do
            take(run);
        while (run.next != run.end
            && (rival < current ? earlier(*run.next, bound) : !earlier(bound, *run.next)));
        // The run stopped being ahead, or ran out: the rival comes first now.
        current = rival;
    }
    return merged;
}
