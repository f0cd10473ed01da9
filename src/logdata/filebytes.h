#pragma once

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QString>

#include <memory>
#include <optional>
#include <utility>

// Reads byte ranges of one file of an indexed log, on any thread, and tells whether the file
// still holds what was indexed. It keeps the file open where it can, so that a file removed or
// renamed while its log is open (a rotation) is still read from the bytes that were indexed;
// a file cut short, or rewritten in place, no longer counts as holding them.
class FileBytes
{
public:
    // Takes the file's size and time now; keepOpen holds it open from now on.
    FileBytes(const QString &path, bool keepOpen);

    // Reads length bytes at offset into out; false when the file no longer holds the bytes
    // it held when this was made (cut short, rewritten, gone) or a read fails. Bytes appended
    // since do not count as a change.
    [[nodiscard]] bool read(qint64 offset, qint64 length, char *out) const;
    // How the file at the path differs now from the one indexed: more bytes (grown), fewer,
    // other bytes or another file under its name (replaced), or no file there (gone).
    enum class Change { none, grown, replaced, gone };
    [[nodiscard]] Change changeNow() const;
    [[nodiscard]] QString path() const { return filePath; }

private:
    [[nodiscard]] bool unchanged(const QFile &file) const;
    // The file's size and modification time in nanoseconds as its handle tells them, or none.
    [[nodiscard]] static std::optional<std::pair<qint64, qint64>> sizeAndTime(const QFile &file);
    [[nodiscard]] static bool readAt(QFile &file, qint64 offset, qint64 length, char *out);

    QString filePath;
    qint64 size = 0;
    QDateTime modified;
    // The same time as sizeAndTime tells it, which costs far less to read again.
    qint64 modifiedNs = 0;
    // The file system's number of the file, where it has one: a file put in place of another
    // under the same name has another number.
    quint64 fileNumber = 0;
    // Null when the file is opened anew for each read.
    std::unique_ptr<QFile> open;
    mutable QMutex lock;
};
