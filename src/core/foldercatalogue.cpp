#include "foldercatalogue.h"

#include <QDirIterator>

namespace {

const QString urlSlashes = QStringLiteral("///");

// "C:" or "C:/..." after the slashes of a drive-letter URL.
bool startsWithDriveLetter(QStringView text)
{
    return text.size() >= 2 && text[0].isLetter() && text[1] == QLatin1Char(':')
        && (text.size() == 2 || text[2] == QLatin1Char('/'));
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

FolderScan FolderCatalogue::scanFolder(const QString &folderText)
{
    FolderScan scan;
    scan.folder = pathOf(folderText);
    scan.logs = groupLogFiles(listLogFiles(scan.folder));
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

QList<QFileInfo> FolderCatalogue::listLogFiles(const QString &path)
{
    // An empty path would make the iterator walk the working folder.
    if (path.isEmpty())
        return {};
    const QFileInfo given(path);
    if (given.isFile())
        return {given};
    QList<QFileInfo> files;
    const QString suffix = QStringLiteral("log");
    QDirIterator it(path, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        // The iterator's own file information carries the type read with the listing, so
        // most entries need no further call to the file system.
        QFileInfo info = it.nextFileInfo();
        if (info.isFile() && info.suffix() == suffix)
            files.append(std::move(info));
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
