#pragma once

#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

// Helpers for Qt Quick tests, published as "testSupport": temporary folders with generated
// logs, files with given content, and URLs of local paths.
class TestSupport : public QObject
{
    Q_OBJECT

public:
    explicit TestSupport(QObject *parent = nullptr);

    // Writes a generated log "<name>_<n>.log" (n = 1..files) of about the given size into
    // the sub-folder of the temporary folder, creating it; returns the sub-folder's path.
    Q_INVOKABLE QString generateLog(
        const QString &subFolder, const QString &name, int files, int bytes, int seed = 1);
    // Writes text into a file below the temporary folder; returns its absolute path.
    Q_INVOKABLE QString writeFile(const QString &relativePath, const QString &content);
    // Removes a file or folder below the temporary folder.
    Q_INVOKABLE bool remove(const QString &relativePath);
    Q_INVOKABLE QString path(const QString &relativePath = QString()) const;
    Q_INVOKABLE QUrl fileUrl(const QString &absolutePath) const;

private:
    QTemporaryDir dir;
};
