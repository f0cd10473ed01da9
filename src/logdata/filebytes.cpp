#include "filebytes.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

quint64 numberOf(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        return quint64(status.st_ino);
#else
    Q_UNUSED(path);
#endif
    return 0;
}

} // namespace

FileBytes::FileBytes(const QString &path, bool keepOpen)
    : filePath(path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return;
    size = file->size();
    modified = file->fileTime(QFileDevice::FileModificationTime);
    if (const auto now = sizeAndTime(*file))
        modifiedNs = now->second;
    fileNumber = numberOf(path);
    if (keepOpen)
        open = std::move(file);
}

std::optional<std::pair<qint64, qint64>> FileBytes::sizeAndTime(const QFile &file)
{
#ifdef Q_OS_UNIX
    struct stat status
    {
    };
    if (::fstat(file.handle(), &status) != 0)
        return std::nullopt;
    return std::pair {qint64(status.st_size),
        qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
#else
    Q_UNUSED(file);
    return std::nullopt;
#endif
}

// The same size and time, or more bytes: a log is only ever appended to in place. Asked
// before and after every read, so the handle's word is taken where there is one.
bool FileBytes::unchanged(const QFile &file) const
{
    if (const auto now = sizeAndTime(file))
        return now->first > size || (now->first == size && now->second == modifiedNs);
    const qint64 now = file.size();
    return now > size
        || (now == size && file.fileTime(QFileDevice::FileModificationTime) == modified);
}

FileBytes::Change FileBytes::changeNow() const
{
    const QFileInfo now(filePath);
    if (!now.exists())
        return Change::gone;
    if (numberOf(filePath) != fileNumber || now.size() < size)
        return Change::replaced;
    if (now.size() > size)
        return Change::grown;
    return now.lastModified() == modified ? Change::none : Change::replaced;
}

bool FileBytes::readAt(QFile &file, qint64 offset, qint64 length, char *out)
{
#ifdef Q_OS_UNIX
    // A positioned read leaves the file's position to other threads.
    qint64 done = 0;
    while (done < length) {
        const ssize_t got
            = ::pread(file.handle(), out + done, size_t(length - done), offset + done);
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
#else
    return file.seek(offset) && file.read(out, length) == length;
#endif
}

// Checked before and after the read, so that bytes read while the file changed are not taken.
bool FileBytes::read(qint64 offset, qint64 length, char *out) const
{
    if (offset < 0 || length < 0 || offset + length > size)
        return false;
    if (!open) {
        QFile file(filePath);
        return file.open(QIODevice::ReadOnly) && unchanged(file)
            && readAt(file, offset, length, out) && unchanged(file);
    }
    QMutexLocker locker(&lock);
    if (!unchanged(*open))
        return false;
#ifdef Q_OS_UNIX
    locker.unlock();
    const bool got = readAt(*open, offset, length, out);
    locker.relock();
#else
    const bool got = readAt(*open, offset, length, out);
#endif
    return got && unchanged(*open);
}
