#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>

// Resident memory as the benchmark programs report it.
class BenchMemory
{
public:
    // Resident memory now, in MB, where the system tells (Linux); otherwise -1.
    static double residentMegabytes()
    {
        QFile status(QStringLiteral("/proc/self/statm"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        const QList<QByteArray> pages = status.readAll().split(' ');
        return pages.size() > 1 ? double(pages[1].toLongLong() * 4096) / 1e6 : -1;
    }
};
