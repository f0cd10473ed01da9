#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

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

    // Anonymous resident memory now (RssAnon: neither the page cache nor mapped files), in MB,
    // where the system tells (Linux); otherwise -1.
    static double anonymousMegabytes()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("RssAnon:"))
                return double(line.mid(8).trimmed().split(' ').value(0).toLongLong()) / 1e3;
        }
        return -1;
    }

    // Samples the anonymous resident memory every few milliseconds while it lives, keeping the
    // peak: the kernel keeps no peak of it.
    class AnonymousPeak
    {
    public:
        AnonymousPeak()
            : sampler([this] {
                while (!done.load()) {
                    note();
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            })
        { }
        ~AnonymousPeak()
        {
            done.store(true);
            sampler.join();
        }
        [[nodiscard]] double megabytes()
        {
            note();
            return peak.load();
        }
        // Forgets the peak so far: the next one is that from now on.
        void restart() { peak.store(0); }

    private:
        void note()
        {
            const double now = anonymousMegabytes();
            double seen = peak.load();
            while (now > seen && !peak.compare_exchange_weak(seen, now)) { }
        }

        std::atomic<bool> done {false};
        std::atomic<double> peak {0};
        std::thread sampler;
    };
};
