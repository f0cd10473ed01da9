#include "filetaildevice.h"

#include <algorithm>
#include <cstring>

FileTailDevice::FileTailDevice(const QString &path, const QByteArray &byteOrderMark, qint64 offset)
    : file(path)
    , prefix(byteOrderMark)
    , tailStart(offset)
{ }

bool FileTailDevice::open(OpenMode mode)
{
    if (mode != ReadOnly || !file.open(ReadOnly) || !file.seek(tailStart))
        return false;
    return QIODevice::open(mode);
}

qint64 FileTailDevice::readData(char *data, qint64 maxSize)
{
    const qint64 fromPrefix = std::min<qint64>(maxSize, prefix.size() - prefixRead);
    std::memcpy(data, prefix.constData() + prefixRead, size_t(fromPrefix));
    prefixRead += fromPrefix;
    if (fromPrefix == maxSize)
        return fromPrefix;
    const qint64 got = file.read(data + fromPrefix, maxSize - fromPrefix);
    return got < 0 ? (fromPrefix > 0 ? fromPrefix : -1) : fromPrefix + got;
}
