// Measures the record index on a log folder: how long indexing takes against reading the same
// files' lines at all (what `wc -l` does), how long decoding takes for a screen of rows and for
// every record, then a user's session through the core (open, three filter changes, 1,000
// pasted ids, finds both ways without a match, a copy of 100,000 records), each step's time and
// the peak anonymous memory (RssAnon) against the files' size.
// Usage: kestrune-bench-index [--index-only] <folder> [log name]
// --index-only indexes the log and ends, for timing the whole process against other programs.

#include "benchmemory.h"
#include "benchtexts.h"
#include "foldercatalogue.h"
#include "kestrunecore.h"
#include "logrecordloader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstring>

namespace {

double seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// Counts the line feeds of the files as `wc -l` does: the floor of any reading of lines.
qint64 countLines(const QList<QFileInfo> &files)
{
    qint64 lines = 0;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (const QFileInfo &info : files) {
        QFile file(info.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        qint64 got = 0;
        while ((got = file.read(block.data(), block.size())) > 0) {
            for (const char *at = block.constData(), *end = at + got;
                 (at = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)))); ++at)
                ++lines;
        }
    }
    return lines;
}

template<typename Step>
void timeStep(const char *label, BenchMemory::AnonymousPeak &peak, double before, Step step)
{
    QElapsedTimer timer;
    timer.start();
    const QString result = step();
    std::printf("%-36s %8.3f s  %-22s peak anonymous %.0f MB\n", label, seconds(timer),
        qPrintable(result), peak.megabytes() - before);
}

// The steps of a user's session on the log through the core, as the window calls it.
void timeSession(const QString &folder, const QString &name, qint64 bytes,
    BenchMemory::AnonymousPeak &peak, double before)
{
    KestruneCore core(folder);
    const auto rows = [&] {
        return QStringLiteral("%1 rows").arg(
            core.logRecordCounts(folder, name).value(QStringLiteral("shown")).toInt());
    };
    // One pass for the texts and the errors, as the window filters.
    const auto filter = [&](const QVariantList &texts, bool onlyErrors) {
        core.filterLog(folder, name, texts, false, onlyErrors);
        return rows();
    };
    timeStep("session: open", peak, before, [&] {
        core.openLog(folder, name);
        return rows();
    });
    timeStep("filter \"queue full\"", peak, before,
        [&] { return filter({QStringLiteral("queue full")}, false); });
    timeStep("filter \"camera\", \"disk\", \"timeout\"", peak, before, [&] {
        return filter(
            {QStringLiteral("camera"), QStringLiteral("disk"), QStringLiteral("timeout")}, false);
    });
    timeStep("filter \"timeout\", errors only", peak, before,
        [&] { return filter({QStringLiteral("timeout")}, true); });
    timeStep("filter of 1,000 pasted ids", peak, before, [&] {
        const QStringList ids = BenchTexts::pastedIds(1000);
        return filter(QVariantList(ids.begin(), ids.end()), false);
    });
    timeStep("no filter", peak, before, [&] { return filter({}, false); });
    const int count = core.logRecordCounts(folder, name).value(QStringLiteral("shown")).toInt();
    timeStep("findNext, no match", peak, before, [&] {
        return QString::number(core.findNext(folder, name, 0, QStringLiteral("no such text")));
    });
    timeStep("findPrevious, no match", peak, before, [&] {
        return QString::number(
            core.findPrevious(folder, name, count - 1, QStringLiteral("no such text")));
    });
    timeStep("copy of 100,000 records", peak, before, [&] {
        const int copied = core.copyRecords(folder, name, count - 100'000, count - 1);
        // The next copy waits for the text of this one.
        core.copyRecords(folder, name, 0, 0);
        return QStringLiteral("%1 records").arg(copied);
    });
    std::printf("%-36s %8.3fx the files' size\n", "peak anonymous memory of the session",
        (peak.megabytes() - before) * 1e6 / double(bytes));
}

void indexAlone(const QList<QFileInfo> &files, qint64 bytes);

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const bool indexOnly = argc > 1 && qstrcmp(argv[1], "--index-only") == 0;
    if (indexOnly) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrune-bench-index [--index-only] <folder> [log name]\n");
        return 2;
    }
    const FolderScan scan = FolderCatalogue::scanFolder(QString::fromLocal8Bit(argv[1]));
    if (scan.logs.empty()) {
        std::fprintf(stderr, "no log in %s\n", argv[1]);
        return 1;
    }
    const auto log = argc > 2 ? scan.logs.find(QString::fromLocal8Bit(argv[2])) : scan.logs.begin();
    if (log == scan.logs.end()) {
        std::fprintf(stderr, "no such log\n");
        return 1;
    }
    const QList<QFileInfo> &files = log->second;
    qint64 bytes = 0;
    for (const QFileInfo &file : files)
        bytes += file.size();
    if (indexOnly)
        return LogRecordLoader::indexLog(files).index->size() > 0 ? 0 : 1;
    indexAlone(files, bytes);
    BenchMemory::AnonymousPeak peak;
    timeSession(QString::fromLocal8Bit(argv[1]), log->first, bytes, peak, peak.megabytes());
    return 0;
}

namespace {

void indexAlone(const QList<QFileInfo> &files, qint64 bytes)
{
    BenchMemory::AnonymousPeak peak;
    const double before = peak.megabytes();

    QElapsedTimer timer;
    timer.start();
    const qint64 lines = countLines(files);
    const double lineSeconds = seconds(timer);
    std::printf("%-36s %8.3f s  %lld lines in %d files, %.0f MB\n", "reading lines (wc -l)",
        lineSeconds, qlonglong(lines), int(files.size()), double(bytes) / 1e6);

    timer.restart();
    const LogRecordLoader::IndexedLog indexed = LogRecordLoader::indexLog(files);
    const double indexSeconds = seconds(timer);
    const RecordIndex &index = *indexed.index;
    std::printf("%-36s %8.3f s  %.1fx reading lines, %zu records\n", "indexing", indexSeconds,
        indexSeconds / lineSeconds, index.size());
    std::printf("%-36s %8.1f MB  %.3fx the files; peak anonymous %.1f MB (%.3fx)\n", "index memory",
        double(index.memoryBytes()) / 1e6, double(index.memoryBytes()) / double(bytes),
        peak.megabytes() - before, (peak.megabytes() - before) * 1e6 / double(bytes));

    timer.restart();
    const size_t screen = std::min<size_t>(40, index.size());
    size_t decoded = 0;
    for (size_t row = index.size() / 2; row < index.size() / 2 + screen; ++row)
        decoded += index.record(row) ? 1 : 0;
    std::printf("%-36s %8.3f ms  %zu rows\n", "a screen of rows from the middle",
        seconds(timer) * 1e3, decoded);

    timer.restart();
    size_t all = 0;
    for (size_t file = 0; file < index.fileCount(); ++file)
        index.readFileRecords(file, 0, index.recordsInFile(file),
            [&](size_t, const QarnLogParser::QarnLog &) { ++all; });
    std::printf(
        "%-36s %8.3f s  %zu records, one thread\n", "decoding every record", seconds(timer), all);
    std::printf("%-36s %8.1f MB\n", "peak anonymous memory", peak.megabytes() - before);
}

} // namespace
