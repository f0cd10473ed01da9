#include "testlogs.h"

#include "loggenerator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringConverter>

#include <algorithm>

bool writeLogFile(const QString &path, const QList<TestRecord> &records)
{
    QByteArray text;
    for (const TestRecord &record : records) {
        text += LogGenerator::formatRecord({12, record.dateTime.toUtf8(), record.logType.toUtf8(),
            "7", "Module", "unit.cpp", "1", record.message.toUtf8()});
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

bool touchFile(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

QString mergeDiffersFromStableSort(std::vector<LogRecordLoader::SortedRun> &&runs)
{
    LogRecordLoader::Records expected;
    for (const LogRecordLoader::SortedRun &run : runs)
        expected.insert(expected.end(), run.records.begin(), run.records.end());
    std::stable_sort(expected.begin(), expected.end(),
        [](const auto &a, const auto &b) { return a.dateTime < b.dateTime; });
    const LogRecordLoader::Records merged = LogRecordLoader::mergeSortedRuns(std::move(runs));
    if (merged.size() != expected.size())
        return QStringLiteral("%1 records instead of %2").arg(merged.size()).arg(expected.size());
    for (size_t i = 0; i < merged.size(); ++i) {
        if (merged[i].message != expected[i].message || merged[i].dateTime != expected[i].dateTime
            || merged[i].line != qint32(i))
            return QStringLiteral("row %1: %2 numbered %3 instead of %4")
                .arg(i)
                .arg(merged[i].message)
                .arg(merged[i].line)
                .arg(expected[i].message);
    }
    return {};
}

QStringList childOutput(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(arguments.front(), arguments.mid(1));
    if (!child.waitForFinished(120000))
        return {QStringLiteral("timed out")};
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)
        << QStringLiteral("exit:%1").arg(child.exitCode());
}

namespace {

QByteArray encoded(const QString &text, QStringConverter::Encoding encoding)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

// Header lines, block lines and stray lines in every shape the format allows, with dates out
// of order, equal dates, dates of other shapes and types that are errors in some letter case.
QString randomLine(QRandomGenerator &random)
{
    static const QStringList dates {QStringLiteral("2023/02/28 10:00:00.000"),
        QStringLiteral("2023/02/28 09:59:59.999"), QStringLiteral("2023/02/28 10:00:00.000"),
        QStringLiteral("2023-02-28 10:00"), QStringLiteral("2023/02/28 1x:00:00.000"),
        QStringLiteral("\u0661\u0662 Zeit"), QStringLiteral("")};
    static const QStringList types {QStringLiteral("Info"), QStringLiteral("Error"),
        QStringLiteral("FATAL"), QStringLiteral("error "), QStringLiteral("erroR"),
        QStringLiteral("\u212Aill")};
    static const QStringList texts {QStringLiteral("<CONT>one</CONT>"),
        QStringLiteral("<CONT>open"), QStringLiteral("close</CONT> after"),
        QStringLiteral("plain text"), QString(),
        QStringLiteral("Grüße \U0001F600 \u0416\u0436 \u65E5\u672C"), QStringLiteral("a\u0000b"),
        QStringLiteral("<HEAD>x"), QStringLiteral("</CONT>"), QStringLiteral("   ")};
    if (random.bounded(3) == 0) {
        return QStringLiteral("<HEAD>[%1]%2 <LN>%3</LN> <TID>%4</TID> <MNAME>M\u00e9</MNAME>")
            .arg(random.bounded(100))
            .arg(dates[random.bounded(dates.size())], types[random.bounded(types.size())])
            .arg(random.bounded(10));
    }
    return texts[random.bounded(texts.size())];
}

} // namespace

QByteArray randomLogFile(QRandomGenerator &random)
{
    QString text;
    const int lines = random.bounded(40);
    const QString lineEnd = random.bounded(2) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    for (int i = 0; i < lines; ++i)
        text += randomLine(random) + (i + 1 < lines || random.bounded(2) ? lineEnd : QString());
    switch (random.bounded(6)) {
    case 0:
        return encoded(text, QStringConverter::Utf16LE);
    case 1:
        return encoded(text, QStringConverter::Utf16BE);
    case 2:
        return encoded(text, QStringConverter::Utf32LE);
    case 3:
        // A last record whose type is "Error" once decoding drops the unfinished sequence at
        // the end, and then the carriage return before it.
        return "\xEF\xBB\xBF" + text.toUtf8()
            + "\n<HEAD>[1]2023/02/28 10:00:00.000 <LN>Error\r\xC3";
    case 4: {
        QByteArray bytes = text.toUtf8();
        if (!bytes.isEmpty())
            bytes[random.bounded(bytes.size())] = char(0xFF);
        return bytes;
    }
    default:
        return text.toUtf8();
    }
}

bool sameRecord(const QarnLogParser::QarnLog &a, const QarnLogParser::QarnLog &b)
{
    return a.dateTime == b.dateTime && a.logType == b.logType && a.threadID == b.threadID
        && a.moduleName == b.moduleName && a.cppFileName == b.cppFileName && a.cppLine == b.cppLine
        && a.message == b.message && a.line == b.line;
}

RecordIndex indexOf(const QList<QFileInfo> &files, qsizetype blockSize)
{
    QStringList paths;
    std::vector<RecordScanner::FileRecords> scanned;
    for (const QFileInfo &info : files) {
        QFile file(info.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        paths.append(info.absoluteFilePath());
        scanned.push_back(RecordScanner::scan(&file, blockSize));
    }
    return RecordIndex(paths, std::move(scanned));
}
