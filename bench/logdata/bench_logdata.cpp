// Measures the log data on a log folder made by kestrune-loggen: parse throughput, search-text
// build, the filter changes and the peak memory, for a log loaded the way the program loads it.
// Usage: kestrune-bench-logdata <folder> [--together | --reference | --texts N,N,...]
// (peak memory: under /usr/bin/time -v). --texts sets how many pasted ids the many-text
// filters use (1, 100 and 1000 unless given). With --together only the load's parse is timed,
// the files parsed and sorted as the program does, on about one thread per core. With
// --reference the first file is only read as lines, by QTextStream and by a plain block
// reader, which shows what this machine allows.

#include "benchmemory.h"
#include "benchtexts.h"
#include "logfiltermodel.h"
#include "logmodel.h"
#include "logrecordloader.h"
#include "qarnlogparser.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QThread>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

using Records = std::vector<QarnLogParser::QarnLog>;

double seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// Time this thread (CLOCK_THREAD_CPUTIME_ID) or every thread of the process ran, which a busy
// machine distorts less than the wall clock.
double cpuSeconds(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double timeFilter(LogFilterModel &filter, const char *label,
    void (LogFilterModel::*setter)(const QVariantList &), const QVariantList &texts)
{
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    (filter.*setter)(texts);
    const int rows = filter.rowCount();
    const double elapsed = seconds(timer);
    std::printf("%-44s %8.3f s  %9d rows  %7.3f s CPU\n", label, elapsed, rows,
        cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart);
    return elapsed;
}

// The text counts given after --texts, or the usual ones.
QList<int> textCounts(int argc, char **argv)
{
    QList<int> counts;
    if (argc > 3 && qstrcmp(argv[2], "--texts") == 0) {
        for (const QByteArray &count : QByteArray(argv[3]).split(','))
            counts.append(count.toInt());
    }
    return counts.isEmpty() ? QList<int> {1, 100, 1000} : counts;
}

void timePastedIds(LogFilterModel &filter, const QList<int> &counts)
{
    for (const int count : counts) {
        QVariantList ids;
        for (const QString &id : BenchTexts::pastedIds(count))
            ids.append(id);
        const QByteArray only = "contains-only " + QByteArray::number(count) + " ids";
        timeFilter(filter, only.constData(), &LogFilterModel::setContainsOnly, ids);
        const QByteArray all = "contains-all " + QByteArray::number(count) + " ids";
        timeFilter(filter, all.constData(), &LogFilterModel::setContainsAll, ids);
    }
}

// Reads the file's lines with QTextStream::readLine; returns the characters read.
size_t textStreamLines(QFile &file)
{
    QTextStream stream(&file);
    size_t characters = 0;
    QString line;
    while (stream.readLineInto(&line))
        characters += size_t(line.size());
    return characters;
}

// Reads the file in 1 MiB blocks, splits lines with memchr and decodes each with fromUtf8;
// returns the characters read.
size_t blockReaderLines(QFile &file)
{
    QByteArray block(1 << 20, Qt::Uninitialized);
    QByteArray carry;
    size_t characters = 0;
    qint64 got = 0;
    while ((got = file.read(block.data(), block.size())) > 0) {
        const char *at = block.constData();
        const char *end = at + got;
        while (const void *found = std::memchr(at, '\n', size_t(end - at))) {
            const auto *newline = static_cast<const char *>(found);
            carry.append(at, newline - at);
            characters += size_t(QString::fromUtf8(carry).size());
            carry.clear();
            at = newline + 1;
        }
        carry.append(at, end - at);
    }
    return characters + size_t(QString::fromUtf8(carry).size());
}

void reportResident(const char *when)
{
    std::printf("%-44s %8.0f MB\n", (QByteArray("resident memory ") + when).constData(),
        BenchMemory::residentMegabytes());
}

void reportReference(const QFileInfo &info, const char *label, size_t (*read)(QFile &))
{
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    QElapsedTimer timer;
    timer.start();
    const size_t characters = read(file);
    const double elapsed = seconds(timer);
    std::printf("%-44s %8.3f s  %5.0f MB/s, %zu characters\n", label, elapsed,
        double(info.size()) / 1e6 / elapsed, characters);
}

qint64 bytesOf(const QList<QFileInfo> &files)
{
    qint64 bytes = 0;
    for (const QFileInfo &info : files)
        bytes += info.size();
    return bytes;
}

// Parses each file alone on this thread, for the parser's own throughput; each file's records
// are dropped before the next, whose parse may then reuse their memory.
void reportParsePerFile(const QList<QFileInfo> &files)
{
    qint64 inputBytes = 0;
    double parseSeconds = 0;
    size_t recordCount = 0;
    for (const QFileInfo &info : files) {
        auto file = std::make_unique<QFile>(info.absoluteFilePath());
        if (!file->open(QIODevice::ReadOnly))
            continue;
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const size_t records = QarnLogParser::parse(file.release()).size();
        const double elapsed = seconds(timer);
        const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
        parseSeconds += elapsed;
        inputBytes += info.size();
        recordCount += records;
        const double megabytes = double(info.size()) / 1e6;
        std::printf("parse %-38s %8.3f s  %5.0f MB/s on one thread (%.0f MB/s of its CPU "
                    "time), %zu records\n",
            qPrintable(info.fileName()), elapsed, megabytes / elapsed, megabytes / cpu, records);
    }
    std::printf("parse total: %.1f MB, %zu records, %.0f MB/s, %.2f M records/s per thread\n",
        double(inputBytes) / 1e6, recordCount, double(inputBytes) / 1e6 / parseSeconds,
        double(recordCount) / 1e6 / parseSeconds);
}

// Parses and sorts the files as the program loads a log, on about one thread per core.
std::vector<LogRecordLoader::SortedRun> parseTogether(const QList<QFileInfo> &files)
{
    QElapsedTimer timer;
    timer.start();
    std::vector<LogRecordLoader::SortedRun> runs = LogRecordLoader::parseSortedRuns(files);
    const double elapsed = seconds(timer);
    const qint64 bytes = bytesOf(files);
    size_t records = 0;
    for (const LogRecordLoader::SortedRun &run : runs)
        records += run.records.size();
    std::printf("parse of %zu files together: %.3f s, %.0f MB/s, %zu records\n", runs.size(),
        elapsed, double(bytes) / 1e6 / elapsed, records);
    return runs;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QFileInfoList files = argc < 2
        ? QFileInfoList()
        : QDir(QString::fromLocal8Bit(argv[1]))
              .entryInfoList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
    if (files.isEmpty()) {
        std::fprintf(stderr,
            "usage: %s <folder with .log files> [--together | --reference | --texts N,...]\n",
            argv[0]);
        return 2;
    }
    if (argc > 2 && qstrcmp(argv[2], "--reference") == 0) {
        reportReference(files.front(), "lines by QTextStream::readLine", textStreamLines);
        reportReference(files.front(), "lines by memchr and QString::fromUtf8", blockReaderLines);
        return 0;
    }
    const QList<QFileInfo> fileList(files.cbegin(), files.cend());
    const bool togetherOnly = argc > 2 && qstrcmp(argv[2], "--together") == 0;
    if (!togetherOnly) {
        reportParsePerFile(fileList);
        // Time for the allocator to give that memory back: the load starts on fresh pages, as
        // the program's first open does.
        QThread::sleep(2);
    }
    std::vector<LogRecordLoader::SortedRun> runs = parseTogether(fileList);
    if (togetherOnly)
        return 0;
    reportResident("after parsing");
    QElapsedTimer timer;
    timer.start();
    Records records = LogRecordLoader::mergeSortedRuns(std::move(runs));
    std::printf("%-44s %8.3f s\n", "merge by time", seconds(timer));
    reportResident("after merging");

    LogModel model;
    timer.restart();
    model.setRecords(std::move(records));
    const size_t textCount = model.fetchSearchTexts()->size();
    std::printf("%-44s %8.3f s  %9zu texts\n", "search texts (background job, waited for)",
        seconds(timer), textCount);

    reportResident("with the search texts");
    LogFilterModel filter;
    filter.setSourceModel(&model);
    timeFilter(filter, "contains-only queue full/elapsed time/no pr..",
        &LogFilterModel::setContainsOnly,
        {QStringLiteral("queue full"), QStringLiteral("elapsed time"),
            QStringLiteral("no proper storage")});
    timeFilter(filter, "contains-all zzz/a/e", &LogFilterModel::setContainsAll,
        {QStringLiteral("zzz"), QStringLiteral("a"), QStringLiteral("e")});
    timeFilter(filter, "contains-only empty list (clearing)", &LogFilterModel::setContainsOnly, {});
    timePastedIds(filter, textCounts(argc, argv));

    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const double peakBytes = double(usage.ru_maxrss) * 1024.0;
    std::printf("peak resident memory: %.0f MB, %.2f times the input\n", peakBytes / 1e6,
        peakBytes / double(bytesOf(fileList)));
    return 0;
}
