#pragma once

#include "foldercatalogue.h"

#include <QAbstractListModel>
#include <QString>
#include <QThreadPool>

#include <map>
#include <vector>

class FolderScanJob;
class QStandardItemModel;

// The folders added to the folder model, scanned in the background or at once: appends each
// scan's rows to the folder model, a background scan's once it and every scan started before
// it have ended, so that the rows come in the order the folders were added; keeps what each
// scan passed over. As a list model it shows the scans whose rows have not come yet ("folder",
// "filesSeen", "scanning") and the scans that found no log but had something to say
// ("notice"), in the order they were started. Lives on the interface thread.
class FolderScanQueue : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(bool scanning READ isScanning NOTIFY scanningChanged)

public:
    enum Roles {
        folderRole = Qt::UserRole + 1,
        filesSeenRole,
        scanningRole,
        noticeRole,
    };

    explicit FolderScanQueue(QStandardItemModel &folders, QObject *parent = nullptr);
    // Cancels the scans still running and waits for their workers.
    ~FolderScanQueue() override;

    // Appends the rows of a scan made on the calling thread at once, one by one.
    void appendScan(const FolderScan &scan);
    // Starts scanning on a worker thread; the job stays owned by the queue.
    FolderScanJob *startScan(const QString &folderText);
    // Stops every scan still running: none of their rows are appended. scanFinished follows
    // for each once its worker has ended.
    void cancelAll();
    // What the latest scan of the folder text passed over, one line each; empty when nothing.
    [[nodiscard]] QString noticeOf(const QString &folder) const;

    [[nodiscard]] int count() const { return int(entries.size()); }
    [[nodiscard]] bool isScanning() const { return running > 0; }

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();
    void scanningChanged();
    // A background scan has ended: its rows are appended when completed, none otherwise.
    void scanFinished(QString folder, bool completed);

private:
    struct Entry
    {
        QString folder;
        // Null once the scan has ended.
        FolderScanJob *job = nullptr;
        QString notice;
    };

    void jobFinished(FolderScanJob *job);
    // Appends the rows of the ended scans that no running scan precedes.
    void appendEnded();
    // Keeps the notice, and the entry of a scan that found no log but has one to show.
    // Returns whether the entry stays.
    bool keepNotice(const QString &folder, const QString &notice, bool foundLogs);
    void removeEntry(int row);
    void setRunning(int count);

    QStandardItemModel &folders;
    std::vector<Entry> entries;
    std::map<QString, QString> notices;
    int running = 0;
    // One scan at a time: the rows wait for the scans before them in any case.
    QThreadPool pool;
};
