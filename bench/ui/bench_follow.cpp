// Follows a log while a writer appends records to its files, and times what following costs.
// Default: in the real main window, under a filter, a writer appends records at a steady rate
// across the log's files; reports how long appended records take to be counted in the window,
// the longest stall of the interface thread, and the memory before and after.
// --updates: without a window, appends the same batch again and again and times one update
// of the index and of the filter's rows; its cost should not depend on the log's size.
// Both append to the log's files: give them a copy.
// Usage: kestrune-bench-follow <log folder> <log name> [seconds] [records per second]
//        kestrune-bench-follow --updates <log folder> <log name> [records per update]
#include "benchclock.h"
#include "benchmemory.h"
#include "benchwindow.h"
#include "foldercatalogue.h"
#include "logfiltermodel.h"
#include "loggenerator.h"
#include "logmodel.h"
#include "logrecordloader.h"
#include "recordindexupdate.h"

#include <QFile>
#include <QGuiApplication>
#include <QMutex>
#include <QQmlApplicationEngine>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

namespace {

// Records dated after any that the generator writes, one millisecond apart, every tenth of
// them passing the filter "camera".
QByteArray appendedRecords(qint64 first, qint64 count)
{
    QByteArray bytes;
    for (qint64 n = first; n < first + count; ++n) {
        const qint64 ms = n % 1000;
        const qint64 s = n / 1000;
        const QByteArray date = QStringLiteral("2030/01/01 %1:%2:%3.%4")
                                    .arg(s / 3600 % 24, 2, 10, QLatin1Char('0'))
                                    .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                    .arg(s % 60, 2, 10, QLatin1Char('0'))
                                    .arg(ms, 3, 10, QLatin1Char('0'))
                                    .toLatin1();
        const QByteArray message = (n % 10 == 0 ? "camera " : "appended ") + QByteArray::number(n);
        bytes += LogGenerator::formatRecord(
            {10, date, "Info", "4711", "Follower", "follow.cpp", "42", message});
    }
    return bytes;
}

QStringList logFiles(const QString &folder, const QString &name)
{
    QStringList paths;
    const FolderScan scan = FolderCatalogue::scanFolder(folder);
    const auto log = scan.logs.find(name);
    if (log != scan.logs.end()) {
        for (const QFileInfo &file : log->second)
            paths.append(file.absoluteFilePath());
    }
    return paths;
}

// Appends the records in the file's encoding: UTF-16LE after its byte-order mark, else UTF-8.
bool append(const QString &path, const QByteArray &utf8)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const bool utf16 = file.peek(2) == QByteArray("\xFF\xFE", 2);
    QByteArray bytes = utf8;
    if (utf16) {
        const QString text = QString::fromUtf8(utf8);
        bytes = QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    }
    return file.seek(file.size()) && file.write(bytes) == bytes.size();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int benchUpdates(const QString &folder, const QString &name, qint64 perUpdate)
{
    const QStringList paths = logFiles(folder, name);
    QList<QFileInfo> files;
    for (const QString &path : paths)
        files.append(QFileInfo(path));
    std::shared_ptr<const RecordIndex> index;
    const double openMs
        = BenchClock::milliseconds([&] { index = LogRecordLoader::indexLog(files).index; });
    // As the window has it: a record model and its filter model, replaced at each update.
    auto model = std::make_unique<LogModel>();
    model->setIndex(index);
    auto filter = std::make_unique<LogFilterModel>();
    filter->setSourceModel(model.get());
    filter->installPass(
        LogFilterModel::computePass(*model, {QStringLiteral("camera")}, true, false));
    std::printf("%s: %zu records in %lld files, indexed in %.0f ms\n", qPrintable(folder),
        index->size(), qlonglong(paths.size()), openMs);
    std::vector<double> updateMs;
    std::vector<double> passMs;
    qint64 written = 0;
    for (int round = 0; round < 21; ++round) {
        for (qsizetype file = 0; file < paths.size(); ++file) {
            const qint64 share = perUpdate / paths.size();
            append(paths[file], appendedRecords(written, share));
            written += share;
        }
        std::shared_ptr<const RecordIndexUpdate> update;
        const double ms = BenchClock::milliseconds(
            [&] { update = std::make_shared<const RecordIndexUpdate>(index, paths); });
        auto nextModel = std::make_unique<LogModel>();
        nextModel->setIndex(update->updated());
        auto nextFilter = std::make_unique<LogFilterModel>();
        nextFilter->setSourceModel(nextModel.get());
        // The rows taken on the interface thread, the pass on a worker, its rows taken back.
        const double filterMs = BenchClock::milliseconds([&] {
            nextFilter->continuePass(
                *filter, LogFilterModel::updatedPass(filter->currentPass(), *update));
        });
        filter = std::move(nextFilter);
        model = std::move(nextModel);
        // The first round pays for opening the files again.
        if (round > 0) {
            updateMs.push_back(ms);
            passMs.push_back(filterMs);
        }
        index = update->updated();
    }
    std::printf("update of %lld appended records: index %.2f ms median (max %.2f), filter rows "
                "%.2f ms median (max %.2f); %zu records now\n",
        qlonglong(perUpdate), median(updateMs), *std::max_element(updateMs.begin(), updateMs.end()),
        median(passMs), *std::max_element(passMs.begin(), passMs.end()), index->size());
    return 0;
}

// Appends batches every 10 ms and notes when each was written and how many records were
// written by then.
class Writer : public QThread
{
public:
    Writer(QStringList paths, int seconds, int perSecond)
        : paths(std::move(paths))
        , seconds(seconds)
        , perSecond(perSecond)
    { }

    struct Batch
    {
        qint64 writtenNs;
        qint64 records;
    };

    std::vector<Batch> batches() const
    {
        QMutexLocker locker(&lock);
        return written;
    }

    const QElapsedTimer *clock = nullptr;

protected:
    void run() override
    {
        const qint64 perBatch = std::max(1, perSecond / 100);
        qint64 records = 0;
        QElapsedTimer pace;
        pace.start();
        for (qint64 batch = 0; batch < qint64(seconds) * 100; ++batch) {
            const qint64 dueMs = batch * 10;
            if (pace.elapsed() < dueMs)
                QThread::msleep(ulong(dueMs - pace.elapsed()));
            append(paths[qsizetype(batch % paths.size())], appendedRecords(records, perBatch));
            records += perBatch;
            QMutexLocker locker(&lock);
            written.push_back({clock->nsecsElapsed(), records});
        }
    }

private:
    QStringList paths;
    int seconds;
    int perSecond;
    mutable QMutex lock;
    std::vector<Batch> written;
};

int benchFollow(const QString &folder, const QString &name, int seconds, int perSecond)
{
    QTemporaryDir config;
    KestruneCore core(config.path());
    QQmlApplicationEngine engine;
    QQuickWindow *quickWindow = loadMainWindow(engine, core);
    if (!quickWindow)
        return 1;
    Window window(quickWindow, core);
    QObject *fileView = window.item("fileView");
    QObject *folderPanel = window.item("folderPanel");
    StallWatch watch;
    window.idle(500);
    QElapsedTimer clock;
    clock.start();
    QMetaObject::invokeMethod(fileView, "openFile", Q_ARG(QVariant, folder), Q_ARG(QVariant, name));
    window.untilDrawn(clock, [&] {
        const OpenLog *log = window.currentLog();
        return log && log->state() == OpenLog::State::ready && window.rows() > 0;
    });
    QMetaObject::invokeMethod(
        folderPanel, "containsOnly", Q_ARG(QVariant, QVariantList {QStringLiteral("camera")}));
    window.untilDrawn(clock, [&] { return !fileView->property("filterPending").toBool(); });
    OpenLog *log = window.currentLog();
    const int before = log->totalRecords();
    const double indexBefore = double(log->entry()->model->memoryBytes()) / 1e6;
    const double anonymousBefore = BenchMemory::anonymousMegabytes();
    std::printf("%d records, %d shown under the filter; index %.1f MB, RssAnon %.0f MB\n", before,
        log->shownRecords(), indexBefore, anonymousBefore);

    core.followLog(folder, name, true);
    Writer writer(logFiles(folder, name), seconds, perSecond);
    writer.clock = &clock;
    std::vector<double> latencies;
    size_t seen = 0;
    int updates = 0;
    QObject::connect(log, &OpenLog::recordsArrived, [&] {
        ++updates;
        const qint64 shown = log->totalRecords() - before;
        const qint64 now = clock.nsecsElapsed();
        const std::vector<Writer::Batch> batches = writer.batches();
        for (; seen < batches.size() && batches[seen].records <= shown; ++seen)
            latencies.push_back(double(now - batches[seen].writtenNs) / 1e6);
    });
    window.idle(300);
    watch.restart();
    writer.start();
    for (int second = 1; !writer.isFinished(); ++second) {
        window.idle(1000);
        if (second % 10 == 0)
            std::printf("    after %d s: %d records, RssAnon %.0f MB\n", second,
                log->totalRecords(), BenchMemory::anonymousMegabytes());
    }
    const qint64 written = writer.batches().back().records;
    window.untilDrawn(
        clock, [&] { return log->totalRecords() - before >= written; }, 10000);
    const double stall = watch.longestGapMs();
    const double indexAfter = double(log->entry()->model->memoryBytes()) / 1e6;
    std::sort(latencies.begin(), latencies.end());
    std::printf("%lld records appended in %d s (%d a second) across the files, %d updates\n",
        qlonglong(written), seconds, perSecond, updates);
    std::printf("appended records counted in the window after: median %.0f ms, 99th percentile "
                "%.0f ms, longest %.0f ms (%zu of %zu batches seen)\n",
        median(latencies), latencies.empty() ? 0 : latencies[latencies.size() * 99 / 100],
        latencies.empty() ? 0 : latencies.back(), latencies.size(), writer.batches().size());
    std::printf("longest tick gap of the interface thread while following: %.1f ms\n", stall);
    std::printf("%s\n", qPrintable(log->notice()));
    std::printf("%d records, %d shown; index %.1f MB (+%.1f MB), RssAnon %.0f MB (+%.0f MB)\n",
        log->totalRecords(), log->shownRecords(), indexAfter, indexAfter - indexBefore,
        BenchMemory::anonymousMegabytes(), BenchMemory::anonymousMegabytes() - anonymousBefore);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() >= 3 && args[0] == QLatin1String("--updates"))
        return benchUpdates(args[1], args[2], args.value(3, QStringLiteral("1000")).toLongLong());
    if (args.size() < 2) {
        std::fprintf(stderr,
            "usage: %s <log folder> <log name> [seconds] [records per second]\n"
            "       %s --updates <log folder> <log name> [records per update]\n",
            argv[0], argv[0]);
        return 2;
    }
    return benchFollow(args[0], args[1], args.value(2, QStringLiteral("60")).toInt(),
        args.value(3, QStringLiteral("10000")).toInt());
}
