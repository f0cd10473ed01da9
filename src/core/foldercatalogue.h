#pragma once

#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <map>

// What a walk passed over without listing it: sub-folders that could not be read (named from
// the walked folder, "." for the folder itself), and files of logs and folders whose names
// are not valid UTF-8, which Qt cannot name on a system whose file names are UTF-8.
struct SkippedEntries
{
    QStringList unreadableFolders;
    int nonUtf8Files = 0;
    int nonUtf8Folders = 0;

    [[nodiscard]] bool isEmpty() const
    {
        return unreadableFolders.isEmpty() && nonUtf8Files == 0 && nonUtf8Folders == 0;
    }
};

// The logs found below one folder text: each log name with its files in discovery order,
// the names in code-unit order, and what the walk passed over.
struct FolderScan
{
    QString folder;
    std::map<QString, QList<QFileInfo>> logs;
    SkippedEntries skipped;
};

// Carries a walk's progress out of it and a request to stop into it, across threads.
struct ScanControl
{
    // The files the walk has passed so far, of any name.
    std::atomic<qint64> filesSeen {0};
    std::atomic<bool> stopRequested {false};
};

// Turns folders and single files that the user hands over into logs, grouped by the part of
// the file name in front of the first "_" (or, failing that, the first "-").
class FolderCatalogue
{
public:
    // The two roles of the folder model's rows: the folder text and the log name.
    static constexpr int folderRole = Qt::UserRole + 1;
    static constexpr int nameRole = Qt::UserRole + 2;

    // The folder text of a dropped URL. Local file URLs come back fully decoded.
    [[nodiscard]] static QString folderTextOf(const QUrl &url);

    // The path that a folder text names, which is also the folder text of its scan.
    [[nodiscard]] static QString pathOf(const QString &folderText);

    // Walks the folder text recursively; no side effects. A folder text that this returned
    // before scans the same place again. With a control, the walk counts the files it passes
    // and ends early, with what it has found so far, once a stop is requested. Safe on any
    // thread.
    [[nodiscard]] static FolderScan scanFolder(
        const QString &folderText, ScanControl *control = nullptr);

    // The files with the suffix "log" below path, in the file system's order, or the file
    // itself when path names one. What the walk passes over is added to skipped.
    [[nodiscard]] static QList<QFileInfo> listLogFiles(
        const QString &path, SkippedEntries *skipped = nullptr, ScanControl *control = nullptr);

    [[nodiscard]] static std::map<QString, QList<QFileInfo>> groupLogFiles(
        const QList<QFileInfo> &files);

    // What the window says under a scanned folder about what the scan passed over, one line
    // each; empty when it passed over nothing.
    [[nodiscard]] static QString noticeOf(const FolderScan &scan);
};
