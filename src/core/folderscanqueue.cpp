#include "folderscanqueue.h"

#include "folderscanjob.h"

#include <QStandardItemModel>

FolderScanQueue::FolderScanQueue(QStandardItemModel &folders, QObject *parent)
    : QAbstractListModel(parent)
    , folders(folders)
{
    pool.setMaxThreadCount(1);
}

FolderScanQueue::~FolderScanQueue()
{
    for (FolderScanJob *job : findChildren<FolderScanJob *>(Qt::FindDirectChildrenOnly))
        job->cancel();
    pool.waitForDone();
}

void FolderScanQueue::appendScan(const FolderScan &scan)
{
    for (const auto &log : scan.logs) {
        auto *item = new QStandardItem;
        item->setData(log.first, FolderCatalogue::nameRole);
        item->setData(scan.folder, FolderCatalogue::folderRole);
        folders.appendRow(item);
    }
    if (keepNotice(scan.folder, FolderCatalogue::noticeOf(scan), !scan.logs.empty())) {
        beginInsertRows({}, count(), count());
        entries.push_back({scan.folder, nullptr, notices[scan.folder]});
        endInsertRows();
        emit countChanged();
    }
}

FolderScanJob *FolderScanQueue::startScan(const QString &folderText)
{
    auto *job = new FolderScanJob(folderText, pool, this);
    beginInsertRows({}, count(), count());
    entries.push_back({job->folder(), job, {}});
    endInsertRows();
    emit countChanged();
    setRunning(running + 1);
    connect(job, &FolderScanJob::progressChanged, this, [this, job] {
        for (size_t row = 0; row < entries.size(); ++row) {
            if (entries[row].job == job) {
                const QModelIndex changed = index(int(row));
                emit dataChanged(changed, changed, {filesSeenRole});
            }
        }
    });
    connect(job, &FolderScanJob::finished, this, [this, job] { jobFinished(job); });
    return job;
}

void FolderScanQueue::cancelAll()
{
    for (int row = count() - 1; row >= 0; --row) {
        if (FolderScanJob *job = entries[size_t(row)].job) {
            job->cancel();
            // One that has ended already, waiting for the scans before it, says so now.
            if (job->isFinished()) {
                emit scanFinished(job->folder(), false);
                job->deleteLater();
            }
            removeEntry(row);
        }
    }
    setRunning(0);
}

QString FolderScanQueue::noticeOf(const QString &folder) const
{
    const auto notice = notices.find(folder);
    return notice == notices.end() ? QString() : notice->second;
}

void FolderScanQueue::jobFinished(FolderScanJob *job)
{
    if (job->isCancelled()) {
        emit scanFinished(job->folder(), false);
        job->deleteLater();
        return;
    }
    appendEnded();
}

void FolderScanQueue::appendEnded()
{
    size_t row = 0;
    while (row < entries.size()) {
        FolderScanJob *job = entries[row].job;
        if (!job) {
            ++row;
            continue;
        }
        if (!job->isFinished())
            return;
        FolderScanJob::Result result = job->takeResult();
        const QString folder = job->folder();
        job->deleteLater();
        entries[row].job = nullptr;
        setRunning(running - 1);
        QList<QStandardItem *> rows;
        rows.reserve(qsizetype(result.rows.size()));
        for (auto &item : result.rows)
            rows.append(item.release());
        // One insertion for the whole scan, which the folder list takes in at once. The column
        // comes first: made during the insertion, it would be announced inside it.
        if (!rows.isEmpty()) {
            if (folders.columnCount() == 0)
                folders.setColumnCount(1);
            folders.invisibleRootItem()->appendRows(rows);
        }
        if (keepNotice(folder, result.notice, !rows.isEmpty())) {
            entries[row].notice = result.notice;
            const QModelIndex changed = index(int(row));
            emit dataChanged(changed, changed);
            ++row;
        } else {
            removeEntry(int(row));
        }
        emit scanFinished(folder, true);
    }
}

bool FolderScanQueue::keepNotice(const QString &folder, const QString &notice, bool foundLogs)
{
    if (notice.isEmpty()) {
        notices.erase(folder);
        return false;
    }
    notices[folder] = notice;
    return !foundLogs;
}

void FolderScanQueue::removeEntry(int row)
{
    beginRemoveRows({}, row, row);
    entries.erase(entries.begin() + row);
    endRemoveRows();
    emit countChanged();
}

void FolderScanQueue::setRunning(int count)
{
    const bool wasScanning = isScanning();
    running = count;
    if (wasScanning != isScanning())
        emit scanningChanged();
}

int FolderScanQueue::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant FolderScanQueue::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Entry &entry = entries[size_t(index.row())];
    switch (role) {
    case folderRole:
        return entry.folder;
    case filesSeenRole:
        return entry.job ? entry.job->filesSeen() : 0.0;
    case scanningRole:
        return entry.job != nullptr;
    case noticeRole:
        return entry.notice;
    }
    return {};
}

QHash<int, QByteArray> FolderScanQueue::roleNames() const
{
    return {{folderRole, "folderRole"}, {filesSeenRole, "filesSeenRole"},
        {scanningRole, "scanningRole"}, {noticeRole, "noticeRole"}};
}
