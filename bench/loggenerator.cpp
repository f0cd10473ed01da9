#include "loggenerator.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <QStringEncoder>

#include <algorithm>
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

// Mixed scripts as they turn up in real logs: accented Latin and signs, Cyrillic, CJK and
// emoji that take two UTF-16 units.
constexpr std::array nonAsciiTexts {"Größe 4 MB bei 38 °C «ok» → weiter", "ошибка записи",
    "磁盘已满", "📷 снимок сохранён", "🔥 Überhitzung: 85 °C", "Kamera «Eingang Süd» → online",
    "日志轮转完成 ✓", "état «prêt» — 📷 caméra n°3"};
constexpr std::array<const char *, 4> nonAsciiModules {"Überwachung", "Запись", "存储", "Kamera📷"};
constexpr std::array<const char *, 4> nonAsciiFiles {
    "überwachung.cpp", "запись.cpp", "存储.cpp", "kamera📷.cpp"};
constexpr std::array<const char *, 4> nonAsciiThreadPrefixes {"поток-", "Wörker-", "线程", "🧵"};

constexpr qint64 msPerDay = 24 * 60 * 60 * 1000;
const qint64 startJulianDay = QDate(2023, 2, 28).toJulianDay();

void appendTwoDigits(QByteArray &out, int value)
{
    out.append(char('0' + value / 10));
    out.append(char('0' + value % 10));
}

// Gathers the records of one file and appends them to it a block at a time, so that a log of
// thousands of files keeps none of them open.
class PendingFile
{
public:
    PendingFile(QString path, QByteArray start)
        : data(std::move(start))
        , path(std::move(path))
    { }

    bool flush()
    {
        QFile file(path);
        const QIODevice::OpenMode mode
            = created ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate;
        if (!file.open(mode) || file.write(data) != data.size())
            return false;
        created = true;
        data.clear();
        return true;
    }

    QByteArray data;

private:
    QString path;
    bool created = false;
};

} // namespace

LogGenerator::LogGenerator(quint64 seed, const LogGeneratorOptions &options)
    : random {seed * 0x9E3779B97F4A7C15ull + 1}
    , variety {random.state ^ 0xD1B54A32D192ED03ull}
    , options(options)
{ }

quint64 LogGenerator::Random::next()
{
    quint64 z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int LogGenerator::Random::below(int bound)
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

QByteArray LogGenerator::withNonAsciiText(QByteArray text)
{
    const auto someText = [this] {
        return ' ' + QByteArray(nonAsciiTexts[size_t(variety.below(int(nonAsciiTexts.size())))]);
    };
    // Into the first line before one of its words or at its end ...
    const qsizetype lineEnd = text.contains('\n') ? text.indexOf('\n') : text.size();
    std::vector<qsizetype> places {lineEnd};
    for (qsizetype i = 0; i < lineEnd; ++i) {
        if (text.at(i) == ' ')
            places.push_back(i);
    }
    text.insert(places[size_t(variety.below(int(places.size())))], someText());
    // ... and at times at the end of the last continuation line too.
    if (text.contains('\n') && variety.below(2) == 0)
        text.append(someText());
    return text;
}

const char *LogGenerator::fieldValue(const char *ascii, const std::array<const char *, 4> &nonAscii)
{
    if (!options.nonAsciiFields || variety.below(4) != 0)
        return ascii;
    return nonAscii[size_t(variety.below(int(nonAscii.size())))];
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

    LogRecordText record;
    record.logType = type;
    // In the order in which the fields always took their random values.
    record.serial = below(90) + 10;
    record.dateTime = formatDateTime(msSinceStart);
    record.threadID = fieldValue("", nonAsciiThreadPrefixes);
    record.threadID.append(QByteArray::number(1000 + below(24) * 4));
    record.moduleName = fieldValue(modules[size_t(module)], nonAsciiModules);
    record.cppFileName = fieldValue(sourceFiles[size_t(module)], nonAsciiFiles);
    record.cppLine = QByteArray::number(below(2000) + 1);
    record.message = message(isError);
    if (options.nonAsciiShare > 0 && variety.below(options.nonAsciiOutOf) < options.nonAsciiShare)
        record.message = withNonAsciiText(std::move(record.message));
    if (options.mixedDateShapes && variety.below(10) == 0)
        record.serial = variety.below(10);
    return formatRecord(record);
}

QByteArray LogGenerator::formatRecord(const LogRecordText &record)
{
    QByteArray text;
    text.reserve(320);
    text.append("<HEAD>[").append(QByteArray::number(record.serial)).append("]");
    text.append(record.dateTime);
    text.append(" <LN>").append(record.logType).append("</LN>");
    text.append(" <TID>").append(record.threadID).append("</TID>");
    text.append(" <MNAME>").append(record.moduleName).append("</MNAME>");
    text.append(" <FILE>").append(record.cppFileName).append("</FILE>");
    text.append(" <LINE>").append(record.cppLine).append("</LINE>\n");
    text.append("<CONT>").append(record.message).append("</CONT>\n");
    return text;
}

QByteArray LogGenerator::stored(QByteArray record) const
{
    if (options.crlf)
        record.replace("\n", "\r\n");
    if (!options.utf16)
        return record;
    return QStringEncoder(QStringConverter::Utf16LE).encode(QString::fromUtf8(record));
}

qint64 LogGenerator::writeLog(
    const QString &folder, const QString &name, int fileCount, qint64 totalBytes)
{
    if (fileCount < 1)
        return 0;
    const QByteArray start = options.utf16 ? QByteArray("\xFF\xFE") : QByteArray();
    std::vector<PendingFile> files;
    files.reserve(size_t(fileCount));
    for (int i = 1; i <= fileCount; ++i)
        files.emplace_back(
            QDir(folder).filePath(QStringLiteral("%1_%2.log").arg(name).arg(i)), start);

    // Many files get smaller blocks, which bounds the memory the pending records take.
    const qsizetype flushSize = std::clamp<qsizetype>((64 << 20) / fileCount, 16 << 10, 1 << 20);
    const qint64 recordTarget = qint64(options.recordsPerFile) * fileCount;
    qint64 written = start.size() * fileCount;
    qint64 records = 0;
    qint64 time = 0;
    while (recordTarget > 0 ? records < recordTarget : written < totalBytes) {
        // Each file gets its records in time order; across files they interleave.
        time += below(20);
        PendingFile &target
            = files[size_t(recordTarget > 0 ? records % fileCount : below(fileCount))];
        const qint64 recordTime = options.outOfOrderMs > 0
            ? std::max<qint64>(0, time - variety.below(options.outOfOrderMs + 1))
            : time;
        const QByteArray record = stored(nextRecord(recordTime));
        target.data.append(record);
        written += record.size();
        ++records;
        if (target.data.size() >= flushSize && !target.flush())
            return -1;
    }
    for (PendingFile &file : files) {
        if (!file.flush())
            return -1;
    }
    return records;
}
