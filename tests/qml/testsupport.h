#pragma once

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class QMimeData;
class QQuickItem;

// Helpers for Qt Quick tests, published as "testSupport": temporary folders with generated
// logs, files with given content, URLs of local paths, file drags onto items, and record
// models too long for a log file of the tests.
class TestSupport : public QObject
{
    Q_OBJECT

public:
    explicit TestSupport(QObject *parent = nullptr);
    ~TestSupport() override;

    // Writes a generated log "<name>_<n>.log" (n = 1..files) of about the given size into
    // the sub-folder of the temporary folder, creating it; returns the sub-folder's path.
    Q_INVOKABLE QString generateLog(
        const QString &subFolder, const QString &name, int files, int bytes, int seed = 1);
    // Writes text into a file below the temporary folder; returns its absolute path.
    Q_INVOKABLE QString writeFile(const QString &relativePath, const QString &content);
    // Appends text to a file below the temporary folder in one write, as a log writer does.
    Q_INVOKABLE bool appendFile(const QString &relativePath, const QString &content);
    // Creates an empty file below the temporary folder whose name is written in Latin-1, as
    // on shared drives, and is therefore no UTF-8 text; false where names are not bytes.
    Q_INVOKABLE bool writeLatin1NamedFile(const QString &relativeFolder, const QString &name);
    // Removes a file or folder below the temporary folder.
    Q_INVOKABLE bool remove(const QString &relativePath);
    Q_INVOKABLE QString path(const QString &relativePath = QString()) const;
    Q_INVOKABLE QUrl fileUrl(const QString &absolutePath) const;
    // Drags the URLs onto the centre of the item through its window, as the platform does,
    // and drops them there when drop is true; otherwise the drag stays over the item.
    Q_INVOKABLE void dragUrls(QQuickItem *item, const QStringList &urls, bool drop);
    // Ends a drag that stays over the item's window without dropping it.
    Q_INVOKABLE void leaveDrag(QQuickItem *item) const;
    // The rows of a record model of that many rows made up in memory, seen through a window
    // as the record list sees an open log's rows; kept until the tests end.
    Q_INVOKABLE QObject *recordsInMemory(int rows);

private:
    QTemporaryDir dir;
    // The files made with names in Latin-1, which the folder's own clean-up cannot see.
    QList<QByteArray> latin1Files;
    // The data of the last drag, kept alive while the window may still refer to it.
    std::unique_ptr<QMimeData> dragMime;
};
