// Times the core's folder catalogue, log opening and searches on large logs and prints figures.
// Usage: kestrune-bench-core <folder of a 1 GB log> <log name> [<folder of a 100 MB log>]
#include "benchclock.h"
#include "benchmemory.h"
#include "foldercatalogue.h"
#include "kestrunecore.h"
#include "logmodel.h"
#include "logrecordloader.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <cstdio>

#include <sys/resource.h>

namespace {

double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void report(const char *what, double ms)
{
    std::printf("%-58s %9.1f ms\n", what, ms);
    std::fflush(stdout);
}

int rowsOf(QObject *model)
{
    return model ? qobject_cast<QAbstractItemModel *>(model)->rowCount() : -1;
}

long freshPages()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

int benchOpen(KestruneCore &core, const QString &folder, const QString &name, const char *what)
{
    QObject *model = nullptr;
    const long pagesBefore = freshPages();
    report(what, BenchClock::milliseconds([&] { model = core.openLog(folder, name); }));
    const int count = rowsOf(model);
    // Each fresh page costs a fault; on some virtual machines that is ten times the usual.
    std::printf("    %d records, peak resident memory so far %.0f MB, %ld page faults\n", count,
        peakMegabytes(), freshPages() - pagesBefore);
    if (!model)
        std::printf("    not opened: %s\n", qPrintable(core.logStatus(folder, name)));
    return count;
}

void benchSearches(KestruneCore &core, const QString &folder, const QString &name, int count)
{
    int row = 0;
    report("findNext, first call (waits for the search texts)", BenchClock::milliseconds([&] {
        row = core.findNext(folder, name, 0, "no such text anywhere");
    }));
    report("findNext, no match", BenchClock::milliseconds([&] {
        row = core.findNext(folder, name, 0, "connection to camera lost forever");
    }));
    report("findNext, no match, two-letter text",
        BenchClock::milliseconds([&] { row = core.findNext(folder, name, 0, "qj"); }));
    report("findPrevious, no match", BenchClock::milliseconds([&] {
        row = core.findPrevious(folder, name, count - 1, "connection to camera lost forever");
    }));
    report("findPrevious, no match, two-letter text",
        BenchClock::milliseconds([&] { row = core.findPrevious(folder, name, count - 1, "qj"); }));
    report("findDate, no match",
        BenchClock::milliseconds([&] { row = core.findDate(folder, name, "9999/12/31"); }));
    report("getIndex, last record",
        BenchClock::milliseconds([&] { row = core.getIndex(folder, name, count - 1); }));
    core.containsOnly({QStringLiteral("error")});
    report("findNext, no match, contains-only filter \"error\"", BenchClock::milliseconds([&] {
        row = core.findNext(folder, name, 0, "no such text anywhere");
    }));
    core.containsOnly({});
    Q_UNUSED(row)
}

// The time the GUI thread spends in a copy, and the time until its text is complete: the next
// copy waits for it. This program has no clipboard, so the text is written and dropped.
void benchCopy(KestruneCore &core, const QString &folder, const QString &name, int count)
{
    for (const int records : {100'000, 1'000'000}) {
        int copied = 0;
        const double call = BenchClock::milliseconds(
            [&] { copied = core.copyRecords(folder, name, count - records, count - 1); });
        const double waited
            = BenchClock::milliseconds([&] { core.copyRecords(folder, name, 0, 0); });
        std::printf("copyRecords, last %d records: %.1f ms on the calling thread, "
                    "text complete after %.1f ms\n",
            copied, call, call + waited);
    }
}

void benchMerge(const QString &folder, const QString &name)
{
    const FolderScan scan = FolderCatalogue::scanFolder(folder);
    const auto log = scan.logs.find(name);
    if (log == scan.logs.end())
        return;
    auto runs = LogRecordLoader::parseSortedRuns(log->second);
    LogRecordLoader::Records merged;
    report("merge of the parsed files alone", BenchClock::milliseconds([&] {
        merged = LogRecordLoader::mergeSortedRuns(std::move(runs));
    }));
    std::vector<QarnLogParser::QarnLog>().swap(merged);
}

// 500 folders, ten levels deep in places, with 20 files each: 16 logs and 4 other files.
bool writeTree(const QString &root)
{
    for (int folder = 0; folder < 500; ++folder) {
        QString path = root;
        for (int level = 0; level <= folder % 10; ++level)
            path += QStringLiteral("/d%1").arg(folder / 10 * 10 + level);
        if (!QDir().mkpath(path))
            return false;
        for (int file = 0; file < 20; ++file) {
            const QString name = file < 16
                ? QStringLiteral("Server%1_%2.log").arg(file).arg(folder)
                : QStringLiteral("notes%1.%2").arg(file).arg(file % 2 ? "txt" : "log");
            QFile out(path + QLatin1Char('/') + name);
            if (!out.open(QIODevice::WriteOnly))
                return false;
        }
    }
    return true;
}

void benchFolder()
{
    QTemporaryDir dir;
    if (!writeTree(dir.path()))
        return;
    KestruneCore core(dir.path());
    report("openFolder, 10,000 files in 500 folders",
        BenchClock::milliseconds([&] { core.openFolder(QUrl::fromLocalFile(dir.path())); }));
    std::printf("    %d rows\n", rowsOf(core.folderModel()));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr,
            "usage: kestrune-bench-core <1 GB log folder> <name> [<100 MB "
            "log folder>]\n");
        return 2;
    }
    const QString big = args[1];
    const QString name = args[2];
    KestruneCore core(QDir::tempPath());
    const double residentBefore = BenchMemory::residentMegabytes();
    const int count = benchOpen(core, big, name, "openLog, 1 GB log, end to end");
    if (count < 0)
        return 1;
    benchSearches(core, big, name, count);
    benchCopy(core, big, name, count);
    report("closeLog, 1 GB log", BenchClock::milliseconds([&] { core.closeLog(big, name); }));
    std::printf("    resident memory before opening %.0f MB, after closing %.0f MB", residentBefore,
        BenchMemory::residentMegabytes());
    QThread::sleep(2);
    std::printf(", 2 s later %.0f MB\n", BenchMemory::residentMegabytes());
    if (args.size() > 3) {
        benchOpen(core, args[3], name, "openLog, 100 MB log, end to end");
        core.closeLog(args[3], name);
    }
    benchMerge(big, name);
    benchFolder();
    return 0;
}
