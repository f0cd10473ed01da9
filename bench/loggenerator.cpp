#include "loggenerator.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <array>
#include <memory>
#include <vector>

namespace {

constexpr std::array modules {"Network", "Recorder", "Storage", "Scheduler", "Database", "Player",
    "Decoder", "Config", "Watchdog", "Http"};
constexpr std::array sourceFiles {"connection.cpp", "recorder.cpp", "diskpool.cpp", "scheduler.cpp",
    "dbsession.cpp", "playback.cpp", "h264decoder.cpp", "settings.cpp", "watchdog.cpp",
    "httpserver.cpp"};
constexpr std::array ordinaryMessages {
    "Connection to camera %1 established after %2 ms, stream profile main, transport TCP",
    "Recording started on channel %1 with profile %2 and pre-alarm buffer of 5 seconds",
    "elapsed time %1 ms for request %2 while loading the archive index of the storage volume",
    "Heartbeat received from client %1, latency %2 ms",
    "Stored segment %1 of %2 bytes on volume D: (archive pool primary, retention 30 days)",
    "Scheduler tick %1: %2 jobs pending",
    "Session %1 authenticated for user operator%2 from workstation in the control room",
    "Decoder switched to key frame interval %1 on stream %2",
    "Configuration value cache.size set to %1 (was %2)",
    "HTTP GET /api/v1/channels/%1 answered 200 in %2 ms"};
constexpr std::array errorMessages {"queue full, dropping %1 packets on channel %2",
    "no proper storage for recording %1, free space %2 MB",
    "Connection to camera %1 lost: timeout after %2 ms",
    "Failed to write segment %1: disk error %2"};
constexpr std::array continuationLines {
    "    at Recorder::writeSegment(recorder.cpp:%1) in worker %2",
    "    at DiskPool::allocate(diskpool.cpp:%1), pool %2", "    retry %1 of %2 scheduled",
    "    details: stream=%1 bitrate=%2 kbit/s"};

constexpr qint64 msPerDay = 24 * 60 * 60 * 1000;
const qint64 startJulianDay = QDate(2023, 2, 28).toJulianDay();

void appendTwoDigits(QByteArray &out, int value)
{
    out.append(char('0' + value / 10));
    out.append(char('0' + value % 10));
}

} // namespace

LogGenerator::LogGenerator(quint64 seed)
    : state(seed * 0x9E3779B97F4A7C15ull + 1)
{ }

quint64 LogGenerator::next()
{
    // splitmix64: small, fast and the same on every platform.
    quint64 z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int LogGenerator::below(int bound)
{
    return static_cast<int>(next() % static_cast<quint64>(bound));
}

QByteArray LogGenerator::formatDateTime(qint64 msSinceStart)
{
    const QDate day = QDate::fromJulianDay(startJulianDay + msSinceStart / msPerDay);
    const qint64 msOfDay = msSinceStart % msPerDay;
    QByteArray out;
    out.reserve(23);
    out.append(QByteArray::number(day.year()));
    out.append('/');
    appendTwoDigits(out, day.month());
    out.append('/');
    appendTwoDigits(out, day.day());
    out.append(' ');
    appendTwoDigits(out, int(msOfDay / 3600000));
    out.append(':');
    appendTwoDigits(out, int(msOfDay / 60000 % 60));
    out.append(':');
    appendTwoDigits(out, int(msOfDay / 1000 % 60));
    out.append('.');
    out.append(char('0' + msOfDay % 1000 / 100));
    appendTwoDigits(out, int(msOfDay % 100));
    return out;
}

QByteArray LogGenerator::message(bool isError)
{
    const char *pattern = isError ? errorMessages[size_t(below(int(errorMessages.size())))]
                                  : ordinaryMessages[size_t(below(int(ordinaryMessages.size())))];
    QByteArray text = QString::fromLatin1(pattern).arg(below(100000)).arg(below(5000)).toLatin1();
    // About one message in six spans several lines, like a stack trace or a detail dump.
    if (below(6) == 0) {
        const int extraLines = 1 + below(3);
        for (int i = 0; i < extraLines; ++i) {
            const char *line = continuationLines[size_t(below(int(continuationLines.size())))];
            text.append('\n');
            text.append(QString::fromLatin1(line).arg(below(900) + 10).arg(below(8)).toLatin1());
        }
    }
    return text;
}

QByteArray LogGenerator::nextRecord(qint64 msSinceStart)
{
    const int roll = below(1000);
    const char *type = roll < 30 ? (roll < 2 ? "Fatal" : "Error")
        : roll < 150             ? "Warning"
        : roll < 400             ? "Debug"
                                 : "Info";
    const bool isError = roll < 30;
    const int module = below(int(modules.size()));

    QByteArray record;
    record.reserve(320);
    record.append("<HEAD>[");
    record.append(QByteArray::number(below(90) + 10));
    record.append("]");
    record.append(formatDateTime(msSinceStart));
    record.append(" <LN>").append(type).append("</LN>");
    record.append(" <TID>").append(QByteArray::number(1000 + below(24) * 4)).append("</TID>");
    record.append(" <MNAME>").append(modules[size_t(module)]).append("</MNAME>");
    record.append(" <FILE>").append(sourceFiles[size_t(module)]).append("</FILE>");
    record.append(" <LINE>").append(QByteArray::number(below(2000) + 1)).append("</LINE>\n");
    record.append("<CONT>").append(message(isError)).append("</CONT>\n");
    return record;
}

qint64 LogGenerator::writeLog(
    const QString &folder, const QString &name, int fileCount, qint64 totalBytes)
{
    std::vector<std::unique_ptr<QFile>> files;
    std::vector<QByteArray> buffers(size_t(qMax(fileCount, 1)));
    for (int i = 1; i <= fileCount; ++i) {
        auto file = std::make_unique<QFile>(
            QDir(folder).filePath(QStringLiteral("%1_%2.log").arg(name).arg(i)));
        if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
            return -1;
        files.push_back(std::move(file));
    }
    if (files.empty())
        return 0;

    constexpr qsizetype flushSize = 1 << 20;
    qint64 written = 0;
    qint64 records = 0;
    qint64 time = 0;
    while (written < totalBytes) {
        // Each file gets its records in time order; across files they interleave.
        time += below(20);
        const size_t target = size_t(below(int(files.size())));
        const QByteArray record = nextRecord(time);
        buffers[target].append(record);
        written += record.size();
        ++records;
        if (buffers[target].size() >= flushSize) {
            if (files[target]->write(buffers[target]) != buffers[target].size())
                return -1;
            buffers[target].clear();
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i]->write(buffers[i]) != buffers[i].size())
            return -1;
    }
    return records;
}
