#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>

// The bytes of a file from an offset on, behind the file's byte-order mark: a reader that
// starts on them takes them in the file's encoding, as if it had read the file from its start.
class FileTailDevice : public QIODevice
{
public:
    FileTailDevice(const QString &path, const QByteArray &byteOrderMark, qint64 offset);

    // Opens the file and moves to the offset; false when either fails.
    bool open(OpenMode mode) override;
    // Read front to back only.
    [[nodiscard]] bool isSequential() const override { return true; }
    // Where a byte read from this device lies in the file.
    [[nodiscard]] qint64 fileOffset(qint64 deviceOffset) const
    {
        return deviceOffset - prefix.size() + tailStart;
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile file;
    QByteArray prefix;
    qint64 tailStart;
    qint64 prefixRead = 0;
};
