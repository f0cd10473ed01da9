#include "testsupport.h"

#include "loggenerator.h"
#include "memoryrecordmodel.h"
#include "recordwindowmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QQuickItem>
#include <QQuickWindow>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

TestSupport::TestSupport(QObject *parent)
    : QObject(parent)
{ }

TestSupport::~TestSupport()
{
#ifdef Q_OS_UNIX
    for (const QByteArray &file : std::as_const(latin1Files))
        ::unlink(file.constData());
#endif
}

QString TestSupport::generateLog(
    const QString &subFolder, const QString &name, int files, int bytes, int seed)
{
    const QString folder = path(subFolder);
    QDir().mkpath(folder);
    LogGenerator generator(static_cast<quint64>(seed));
    if (generator.writeLog(folder, name, files, bytes) < 0)
        return {};
    return folder;
}

QString TestSupport::writeFile(const QString &relativePath, const QString &content)
{
    const QString filePath = path(relativePath);
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(content.toUtf8());
    return filePath;
}

bool TestSupport::appendFile(const QString &relativePath, const QString &content)
{
    QFile file(path(relativePath));
    const QByteArray bytes = content.toUtf8();
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

bool TestSupport::writeLatin1NamedFile(const QString &relativeFolder, const QString &name)
{
#ifdef Q_OS_UNIX
    const QString folder = path(relativeFolder);
    QDir().mkpath(folder);
    const QByteArray filePath = QFile::encodeName(folder) + '/' + name.toLatin1();
    const int fd = ::open(filePath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    latin1Files.append(filePath);
    return ::close(fd) == 0;
#else
    Q_UNUSED(relativeFolder);
    Q_UNUSED(name);
    return false;
#endif
}

bool TestSupport::remove(const QString &relativePath)
{
    const QString target = path(relativePath);
    if (QFileInfo(target).isDir())
        return QDir(target).removeRecursively();
    return QFile::remove(target);
}

QString TestSupport::path(const QString &relativePath) const
{
    return relativePath.isEmpty() ? dir.path() : QDir(dir.path()).filePath(relativePath);
}

QUrl TestSupport::fileUrl(const QString &absolutePath) const
{
    return QUrl::fromLocalFile(absolutePath);
}

void TestSupport::dragUrls(QQuickItem *item, const QStringList &urls, bool drop)
{
    dragMime = std::make_unique<QMimeData>();
    QList<QUrl> urlList;
    for (const QString &url : urls)
        urlList.append(QUrl(url));
    dragMime->setUrls(urlList);
    const QPoint pos = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QWindow *window = item->window();
    QDragEnterEvent enter(pos, Qt::CopyAction, dragMime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, dragMime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    if (!drop)
        return;
    QDropEvent dropEvent(
        QPointF(pos), Qt::CopyAction, dragMime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &dropEvent);
}

void TestSupport::leaveDrag(QQuickItem *item) const
{
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(item->window(), &leave);
}

QObject *TestSupport::recordsInMemory(int rows)
{
    auto *window = new RecordWindowModel(this);
    window->setSourceModel(new MemoryRecordModel(rows, window));
    return window;
}
