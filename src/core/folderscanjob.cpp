#include "folderscanjob.h"

#include "parallelfor.h"

#include <QStandardItem>
#include <QThreadPool>

namespace {

// How often the count of files is looked at while the worker walks.
constexpr int progressIntervalMs = 100;

} // namespace

FolderScanJob::FolderScanJob(const QString &folderText, QThreadPool &pool, QObject *parent)
    : QObject(parent)
    , scannedFolder(FolderCatalogue::pathOf(folderText))
{
    progressTimer.setInterval(progressIntervalMs);
    connect(&progressTimer, &QTimer::timeout, this, [this] {
        const qint64 seen = control.filesSeen.load(std::memory_order_relaxed);
        if (seen != lastReported) {
            lastReported = seen;
            emit progressChanged();
        }
    });
    progressTimer.start();
    pool.start([this, folderText] { run(folderText); });
}

FolderScanJob::~FolderScanJob() = default;

double FolderScanJob::filesSeen() const
{
    return double(control.filesSeen.load(std::memory_order_relaxed));
}

FolderScanJob::Result FolderScanJob::takeResult()
{
    return std::move(result);
}

void FolderScanJob::cancel()
{
    cancelled = true;
    control.stopRequested.store(true);
    progressTimer.stop();
}

// On the worker. The file lists, which only the rows' names are taken from, and whatever a
// cancelled scan found are freed here, off the job's thread.
void FolderScanJob::run(const QString &folderText)
{
    makeThisThreadBackground();
    Result found;
    try {
        const FolderScan scan = FolderCatalogue::scanFolder(folderText, &control);
        if (!control.stopRequested.load()) {
            found.notice = FolderCatalogue::noticeOf(scan);
            found.rows.reserve(scan.logs.size());
            for (const auto &log : scan.logs) {
                auto row = std::make_unique<QStandardItem>();
                row->setData(log.first, FolderCatalogue::nameRole);
                row->setData(scan.folder, FolderCatalogue::folderRole);
                found.rows.push_back(std::move(row));
            }
        }
    } catch (const std::bad_alloc &) {
        // A tree too large to list: none of its rows are appended.
        found = {};
    }
    if (control.stopRequested.load())
        found = {};
    result = std::move(found);
    QMetaObject::invokeMethod(this, &FolderScanJob::complete, Qt::QueuedConnection);
}

void FolderScanJob::complete()
{
    progressTimer.stop();
    done = true;
    if (!cancelled)
        emit progressChanged();
    emit finished();
}
