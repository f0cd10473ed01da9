#include "testlogs.h"

#include "loggenerator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

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
