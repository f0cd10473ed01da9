// Measures the caseless prefilter on the raw bytes of a log folder made by kestrune-loggen: for
// each filter, the time to prepare it and to mark the candidate records of every file on two
// threads (each file's records split in two), with the files already in memory, and the share
// of records that remain candidates; the first filter also searched piece by piece, as
// without Hyperscan. Each figure is the best of three runs, in wall-clock and CPU time.
// Usage: kestrune-bench-prefilter <folder>

#include "benchclock.h"
#include "benchtexts.h"
#include "parallelfor.h"
#include "textprefilter.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string_view>

namespace {

// One file's bytes with the end of each record: a record runs from its header line to the
// next one, and the bytes before the first header line go with the first record.
struct Run
{
    QByteArray bytes;
    std::vector<size_t> ends;
};

std::optional<Run> readRun(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Run run {file.readAll(), {}};
    const std::string_view bytes(run.bytes.constData(), size_t(run.bytes.size()));
    constexpr std::string_view nextHeader = "\n<HEAD>";
    for (size_t at = bytes.find(nextHeader, bytes.find("<HEAD>") + 1); at != bytes.npos;
         at = bytes.find(nextHeader, at + 1))
        run.ends.push_back(at + 1);
    if (!bytes.empty())
        run.ends.push_back(bytes.size());
    return run;
}

constexpr size_t threads = 2;

// CPU time of every thread of the process, which a busy machine distorts less than the wall
// clock.
double cpuMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

constexpr int repeats = 3;

void timeFilter(const std::vector<Run> &runs, const char *label, const QStringList &texts,
    bool anyOf, TextPrefilter::Search search = TextPrefilter::Search::fastest)
{
    std::optional<TextPrefilter> prefilter;
    const double prepare = BenchClock::milliseconds(
        [&] { prefilter.emplace(texts, anyOf, TextEncoding::utf8, search); });
    std::vector<std::vector<char>> candidates(runs.size());
    for (size_t run = 0; run < runs.size(); ++run)
        candidates[run].resize(runs[run].ends.size());
    double best = 0;
    double bestCpu = 0;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        const double cpuStart = cpuMilliseconds();
        const double time = BenchClock::milliseconds([&] {
            for (size_t run = 0; run < runs.size(); ++run) {
                const std::string_view bytes(
                    runs[run].bytes.constData(), size_t(runs[run].bytes.size()));
                parallelParts(runs[run].ends.size(), threads, [&](size_t first, size_t last) {
                    prefilter->markCandidates(
                        bytes, runs[run].ends, first, last, candidates[run].data());
                });
            }
        });
        const double cpu = cpuMilliseconds() - cpuStart;
        best = repeat == 0 ? time : std::min(best, time);
        bestCpu = repeat == 0 ? cpu : std::min(bestCpu, cpu);
    }
    size_t records = 0;
    size_t kept = 0;
    for (const std::vector<char> &marks : candidates) {
        records += marks.size();
        kept += size_t(std::count(marks.cbegin(), marks.cend(), 1));
    }
    std::printf("%-34s %7.1f ms prepare %7.1f ms mark (%7.1f ms CPU) %6.2f%% candidates (%zu)\n",
        label, prepare, best, bestCpu, 100.0 * double(kept) / double(std::max<size_t>(records, 1)),
        kept);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    std::vector<Run> runs;
    size_t bytes = 0;
    size_t records = 0;
    for (const QString &name : folder.entryList({QStringLiteral("*.log")}, QDir::Files)) {
        std::optional<Run> run = readRun(folder.filePath(name));
        if (!run) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(name));
            return 1;
        }
        bytes += size_t(run->bytes.size());
        records += run->ends.size();
        runs.push_back(std::move(*run));
    }
    std::printf("%zu files, %.0f MB, %zu records; %zu threads, best of %d\n", runs.size(),
        double(bytes) / 1e6, records, threads, repeats);
    // Built once per process, outside the figures below.
    std::printf("%-34s %8.1f ms\n", "case tables",
        BenchClock::milliseconds([] { TextPrefilter({QStringLiteral("x")}, true); }));
    const QStringList firstFilter {QStringLiteral("queue full"), QStringLiteral("elapsed time"),
        QStringLiteral("no proper storage")};
    timeFilter(runs, "any of queue full/elapsed time/..", firstFilter, true);
    timeFilter(
        runs, "the same, piece by piece", firstFilter, true, TextPrefilter::Search::pieceByPiece);
    timeFilter(runs, "all of zzz/a/e",
        {QStringLiteral("zzz"), QStringLiteral("a"), QStringLiteral("e")}, false);
    timeFilter(runs, "any of e", {QStringLiteral("e")}, true);
    for (const int count : {1, 100, 1000}) {
        const QStringList ids = BenchTexts::pastedIds(count);
        const QByteArray anyOf = "any of " + QByteArray::number(count) + " ids";
        timeFilter(runs, anyOf.constData(), ids, true);
        const QByteArray allOf = "all of " + QByteArray::number(count) + " ids";
        timeFilter(runs, allOf.constData(), ids, false);
    }
    return 0;
}
