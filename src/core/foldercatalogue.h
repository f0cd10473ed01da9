#pragma once

#include <QFileInfo>
#include <QList>
#include <QString>
#include <QUrl>

#include <map>

// The logs found below one folder text: each log name with its files in discovery order,
// the names in code-unit order.
struct FolderScan
{
    QString folder;
    std::map<QString, QList<QFileInfo>> logs;
};

// Turns folders and single files that the user hands over into logs, grouped by the part of
// the file name in front of the first "_" (or, failing that, the first "-").
class FolderCatalogue
{
public:
    // The folder text of a dropped URL. Local file URLs come back fully decoded.
    [[nodiscard]] static QString folderTextOf(const QUrl &url);

    // Walks the folder text recursively; no side effects. A folder text that this returned
    // before scans the same place again.
    [[nodiscard]] static FolderScan scanFolder(const QString &folderText);

    // The files with the suffix "log" below path, in the file system's order, or the file
    // itself when path names one.
    [[nodiscard]] static QList<QFileInfo> listLogFiles(const QString &path);

    [[nodiscard]] static std::map<QString, QList<QFileInfo>> groupLogFiles(
        const QList<QFileInfo> &files);

private:
    [[nodiscard]] static QString pathOf(const QString &folderText);
};
