#include "logopenjob.h"

#include "foldercatalogue.h"
#include "memorybudget.h"
#include "parallelfor.h"
#include "recordscanner.h"
#include "textlinereader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QThread>
#include <QThreadPool>

#include <algorithm>

namespace {

// How often the progress is looked at while the worker reads.
constexpr int progressIntervalMs = 50;

// What a load met besides the records, one line each; files are named from the log's folder.
QStringList noticesOf(const LogRecordLoader::IndexedLog &loaded, const QString &folder)
{
    QStringList notices;
    if (const auto count = int(loaded.unreadableFiles.size())) {
        QStringList names;
        for (const QString &path : loaded.unreadableFiles)
            names.append(QDir(folder).relativeFilePath(path));
        notices.append((count == 1
                ? QCoreApplication::translate("KestruneCore", "1 file could not be read: %1")
                : QCoreApplication::translate(
                    "KestruneCore", "%n files could not be read: %1", nullptr, count))
                           .arg(names.join(QStringLiteral(", "))));
    }
    if (loaded.index->size() == 0)
        notices.append(QCoreApplication::translate("KestruneCore", "No records in this log."));
    const std::vector<RecordIndex::UnclosedBlock> unclosed = loaded.index->unclosedBlocks();
    if (!unclosed.empty())
        notices.append(LogOpenJob::unclosedBlocksNotice(unclosed));
    if (const auto count = int(loaded.index->cutLines())) {
        notices.append(
            (count == 1 ? QCoreApplication::translate(
                 "KestruneCore", "1 line was longer than %1 MiB and was cut.")
                        : QCoreApplication::translate("KestruneCore",
                            "%n lines were longer than %1 MiB and were cut.", nullptr, count))
                .arg(TextLineReader::defaultMaxLineBytes >> 20));
    }
    return notices;
}

// The memory a load takes at its peak, judged before the files are read. The index and the
// first filter pass take about 38 bytes per record at the peak on generated logs; half as much
// again leaves room for a log whose records are shorter than those sampled. Each file holds
// lists of its own, and each thread a block of records.
constexpr qint64 bytesPerRecord = 56;
constexpr qint64 bytesPerFile = 4096;
constexpr qint64 bytesPerThread = qint64(32) << 20;
constexpr qint64 sampleBytes = qint64(1) << 20;
constexpr qsizetype sampledFiles = 4;

// The records in each byte of the first MiB of a file, 0 when it cannot be read.
double recordsPerByte(const QFileInfo &file)
{
    QFile in(file.absoluteFilePath());
    QByteArray head = in.open(QIODevice::ReadOnly) ? in.read(sampleBytes) : QByteArray();
    QBuffer sample(&head);
    sample.open(QIODevice::ReadOnly);
    return head.isEmpty() ? 0 : double(RecordScanner::scan(&sample).size()) / double(head.size());
}

// The record count is unknown until the files are read: it is judged from the records at the
// start of the largest files, the densest of them.
qint64 bytesToOpen(QList<QFileInfo> files)
{
    std::sort(files.begin(), files.end(),
        [](const QFileInfo &a, const QFileInfo &b) { return a.size() > b.size(); });
    qint64 bytes = 0;
    double density = 0;
    for (qsizetype file = 0; file < files.size(); ++file) {
        bytes += files[file].size();
        if (file < sampledFiles)
            density = std::max(density, recordsPerByte(files[file]));
    }
    return qint64(double(bytes) * density) * bytesPerRecord + qint64(files.size()) * bytesPerFile
        + qint64(threadCount()) * bytesPerThread;
}

QString refusalText(qint64 needed, qint64 free)
{
    const QLocale english(QLocale::English);
    return QCoreApplication::translate("KestruneCore", "it needs about %1 MiB and %2 MiB are free")
        .arg(english.toString(needed >> 20), english.toString(free >> 20));
}

} // namespace

QString LogOpenJob::unclosedBlocksNotice(const std::vector<RecordIndex::UnclosedBlock> &blocks)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const RecordIndex::UnclosedBlock &first = blocks.front();
    const auto count = int(blocks.size());
    return (count == 1 ? QCoreApplication::translate(
                "KestruneCore", "1 message block was never closed; it took in %1 lines (record %2)")
                       : QCoreApplication::translate("KestruneCore",
                           "%n message blocks were never closed; the first took in %1 lines "
                           "(record %2)",
                           nullptr, count))
        .arg(english.toString(first.lines), english.toString(qulonglong(first.row)));
}

LogOpenJob::LogOpenJob(const QString &folder, const QString &name, const FirstFilter &filter,
    QThreadPool &pool, QObject *parent)
    : QObject(parent)
    , logFolder(folder)
    , logName(name)
    , firstFilter(filter)
{
    clock.start();
    progressTimer.setInterval(progressIntervalMs);
    connect(&progressTimer, &QTimer::timeout, this, [this] {
        const qint64 read = control.bytesRead.load(std::memory_order_relaxed);
        if (read != lastReported) {
            lastReported = read;
            emit progressChanged();
        }
    });
    progressTimer.start();
    pool.start([this] { run(); });
}

LogOpenJob::~LogOpenJob() = default;

LogOpenJob::Loaded LogOpenJob::loadEntry(const QString &folder, const QString &name,
    LogRecordLoader::LoadControl *control, const FirstFilter &filter)
{
    const FolderScan scan = FolderCatalogue::scanFolder(folder);
    const auto log = scan.logs.find(name);
    if (log == scan.logs.end())
        return {};
    const qint64 needed = bytesToOpen(log->second);
    if (const auto free = MemoryBudget::processAvailableBytes(); free && *free < needed)
        return {nullptr, Failure::outOfMemory, refusalText(needed, *free)};
    LogRecordLoader::IndexedLog loaded = LogRecordLoader::indexLog(log->second, control);
    if (control && control->stopRequested.load())
        return {};
    auto entry = std::make_unique<OpenLogEntry>(OpenLogEntry {
        folder, name, std::make_unique<LogModel>(), nullptr, noticesOf(loaded, folder)});
    entry->model->setFreeMemory(&MemoryBudget::processAvailableBytes);
    entry->model->setIndex(std::move(loaded.index));
    entry->filter = std::make_unique<LogFilterModel>();
    entry->filter->setSourceModel(entry->model.get());
    // The first filter pass runs here, where a failure is caught, rather than inside the
    // list's first row count.
    entry->filter->setFilter(filter.texts, !filter.containsAll, filter.onlyErrors, filter.range);
    entry->filter->rowCount();
    if (const Failure failure = entry->filter->passFailure(); failure != Failure::none)
        return {nullptr, failure, {}};
    return {std::move(entry), Failure::none, {}};
}

double LogOpenJob::bytesRead() const
{
    return double(control.bytesRead.load(std::memory_order_relaxed));
}

// A file that grew while it was read makes more bytes than the sizes first taken.
double LogOpenJob::totalBytes() const
{
    return double(std::max(control.totalBytes.load(std::memory_order_relaxed),
        control.bytesRead.load(std::memory_order_relaxed)));
}

LogOpenJob::Loaded LogOpenJob::takeResult()
{
    return std::move(result);
}

void LogOpenJob::cancel()
{
    cancelled = true;
    control.stopRequested.store(true);
    progressTimer.stop();
}

// On the worker. Whatever a cancelled load built is freed here, off the job's thread.
void LogOpenJob::run()
{
    makeThisThreadBackground();
    Loaded loaded;
    const Failure failure
        = failureOf([&] { loaded = loadEntry(logFolder, logName, &control, firstFilter); });
    if (failure != Failure::none)
        loaded = {nullptr, failure, {}};
    if (control.stopRequested.load()) {
        loaded = {};
    } else if (loaded.entry) {
        loaded.entry->model->moveToThread(thread());
        loaded.entry->filter->moveToThread(thread());
    }
    result = std::move(loaded);
    QMetaObject::invokeMethod(this, &LogOpenJob::complete, Qt::QueuedConnection);
}

void LogOpenJob::complete()
{
    progressTimer.stop();
    elapsedMs = double(clock.nsecsElapsed()) / 1e6;
    // The last report reaches the total; a cancelled load reports nothing more.
    if (!cancelled)
        emit progressChanged();
    emit finished();
}
