#include "foldercatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

const QString urlSlashes = QStringLiteral("///");

// How many unreadable folders a notice names before it only counts the rest.
constexpr int namedFolders = 5;

// "C:" or "C:/..." after the slashes of a drive-letter URL.
bool startsWithDriveLetter(QStringView text)
{
    return text.size() >= 2 && text[0].isLetter() && text[1] == QLatin1Char(':')
        && (text.size() == 2 || text[2] == QLatin1Char('/'));
}

#ifdef Q_OS_UNIX
// Whether a file of this name would belong to a log: the suffix "log" and a separator.
bool isLogFileName(QByteArrayView name)
{
    return name.endsWith(".log") && (name.contains('_') || name.contains('-'));
}

// The type of a directory entry, following a link as the listing does for files but, as it
// does not descend into them, not for folders.
enum class EntryType { folder, file, other };

EntryType entryTypeOf(int folderFd, const dirent &entry)
{
    if (entry.d_type == DT_DIR)
        return EntryType::folder;
    if (entry.d_type == DT_REG)
        return EntryType::file;
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK)
        return EntryType::other;
    struct stat status
    {
    };
    if (::fstatat(folderFd, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryType::other;
    if (S_ISDIR(status.st_mode))
        return EntryType::folder;
    if (S_ISLNK(status.st_mode) && ::fstatat(folderFd, entry.d_name, &status, 0) != 0)
        return EntryType::other;
    return S_ISREG(status.st_mode) ? EntryType::file : EntryType::other;
}
#endif

// Reads one folder's names again, as bytes, for what the listing leaves out without a word:
// the folder itself when it cannot be read, and names that are not UTF-8. Without a way to
// read names as bytes, only a folder that says it is unreadable is counted.
void inspectFolder(const QString &folder, const QDir &root, SkippedEntries &skipped)
{
#ifdef Q_OS_UNIX
    DIR *entries = ::opendir(QFile::encodeName(folder).constData());
    if (!entries) {
        // A folder removed while the walk ran is simply gone.
        if (errno != ENOENT && errno != ENOTDIR)
            skipped.unreadableFolders.append(root.relativeFilePath(folder));
        return;
    }
    const int folderFd = ::dirfd(entries);
    while (const dirent *entry = ::readdir(entries)) {
        const QByteArrayView name(entry->d_name);
        if (name.isValidUtf8())
            continue;
        const EntryType type = entryTypeOf(folderFd, *entry);
        if (type == EntryType::folder)
            ++skipped.nonUtf8Folders;
        else if (type == EntryType::file && isLogFileName(name))
            ++skipped.nonUtf8Files;
    }
    ::closedir(entries);
#else
    const QFileInfo info(folder);
    if (info.exists() && !info.isReadable())
        skipped.unreadableFolders.append(root.relativeFilePath(folder));
#endif
}

// A line about a count of things, in its singular form for one.
QString countedLine(int count, const char *one, const char *many)
{
    return count == 1 ? QCoreApplication::translate("FolderCatalogue", one)
                      : QCoreApplication::translate("FolderCatalogue", many, nullptr, count);
}

QString namesOf(const QStringList &folders, const QString &scanned)
{
    QStringList names;
    for (const QString &folder : folders.mid(0, namedFolders))
        names.append(folder == QLatin1String(".") ? scanned : folder);
    if (folders.size() > namedFolders)
        names.append(QCoreApplication::translate("FolderCatalogue", "and %1 more")
                         .arg(folders.size() - namedFolders));
    return names.join(QStringLiteral(", "));
}

} // namespace

QString FolderCatalogue::folderTextOf(const QUrl &url)
{
    if (!url.isLocalFile())
        return url.toString(QUrl::RemoveScheme);
    // The same text as the scheme-less URL string, but with every character decoded, so
    // that a folder named "a#b" or "100%" is found again.
    return QStringLiteral("//") + url.host(QUrl::FullyDecoded) + url.path(QUrl::FullyDecoded);
}

FolderScan FolderCatalogue::scanFolder(const QString &folderText, ScanControl *control)
{
    FolderScan scan;
    scan.folder = pathOf(folderText);
    scan.logs = groupLogFiles(listLogFiles(scan.folder, &scan.skipped, control));
    return scan;
}

// Drive-letter URLs lose all three slashes ("///C:/Logs" gives "C:/Logs"); other local URLs
// keep one, so that "///var/log" stays the absolute path "/var/log". A text that does not
// begin with three slashes is a path already and is kept.
QString FolderCatalogue::pathOf(const QString &folderText)
{
    if (!folderText.startsWith(urlSlashes))
        return folderText;
    const QStringView rest = QStringView(folderText).mid(urlSlashes.size());
    if (startsWithDriveLetter(rest))
        return rest.toString();
    qsizetype slashes = urlSlashes.size();
    while (slashes < folderText.size() && folderText[slashes] == QLatin1Char('/'))
        ++slashes;
    return folderText.mid(slashes - 1);
}

QList<QFileInfo> FolderCatalogue::listLogFiles(
    const QString &path, SkippedEntries *skipped, ScanControl *control)
{
    // An empty path would make the iterator walk the working folder.
    if (path.isEmpty())
        return {};
    const QFileInfo given(path);
    if (given.isFile()) {
        if (control)
            control->filesSeen.store(1, std::memory_order_relaxed);
        return {given};
    }
    SkippedEntries passedOver;
    const QDir root(path);
    inspectFolder(path, root, passedOver);
    QList<QFileInfo> files;
    const QString suffix = QStringLiteral("log");
    QDirIterator it(path, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (control && control->stopRequested.load(std::memory_order_relaxed))
            break;
        // The iterator's own file information carries the type read with the listing, so
        // most entries need no further call to the file system.
        QFileInfo info = it.nextFileInfo();
        if (info.isFile()) {
            if (control)
                control->filesSeen.fetch_add(1, std::memory_order_relaxed);
            if (info.suffix() == suffix)
                files.append(std::move(info));
        } else if (info.isDir() && !info.isSymLink()) {
            // The folders that the iterator descends into: the links it does not follow, and
            // the entries for the folder itself and its parent, are left out.
            const QString name = info.fileName();
            if (name != QLatin1String(".") && name != QLatin1String(".."))
                inspectFolder(info.filePath(), root, passedOver);
        }
    }
    if (skipped) {
        skipped->unreadableFolders += passedOver.unreadableFolders;
        skipped->nonUtf8Files += passedOver.nonUtf8Files;
        skipped->nonUtf8Folders += passedOver.nonUtf8Folders;
    }
    return files;
}

std::map<QString, QList<QFileInfo>> FolderCatalogue::groupLogFiles(const QList<QFileInfo> &files)
{
    std::map<QString, QList<QFileInfo>> logs;
    for (const QFileInfo &file : files) {
        const QString name = file.fileName();
        qsizetype separator = name.indexOf(QLatin1Char('_'));
        if (separator < 0)
            separator = name.indexOf(QLatin1Char('-'));
        if (separator < 0)
            continue;
        logs[name.left(separator)].append(file);
    }
    return logs;
}

QString FolderCatalogue::noticeOf(const FolderScan &scan)
{
    QStringList lines;
    const SkippedEntries &skipped = scan.skipped;
    if (const auto count = int(skipped.unreadableFolders.size())) {
        lines.append(countedLine(count,
            QT_TRANSLATE_NOOP("FolderCatalogue", "1 folder could not be read: %1"),
            QT_TRANSLATE_NOOP("FolderCatalogue", "%n folders could not be read: %1"))
                         .arg(namesOf(skipped.unreadableFolders, scan.folder)));
    }
    if (const int count = skipped.nonUtf8Files) {
        lines.append(countedLine(count,
            QT_TRANSLATE_NOOP(
                "FolderCatalogue", "1 file with a name that is not UTF-8 was skipped"),
            QT_TRANSLATE_NOOP(
                "FolderCatalogue", "%n files with names that are not UTF-8 were skipped")));
    }
    if (const int count = skipped.nonUtf8Folders) {
        lines.append(countedLine(count,
            QT_TRANSLATE_NOOP(
                "FolderCatalogue", "1 folder with a name that is not UTF-8 was skipped"),
            QT_TRANSLATE_NOOP(
                "FolderCatalogue", "%n folders with names that are not UTF-8 were skipped")));
    }
    return lines.join(QLatin1Char('\n'));
}
