#pragma once

#include <QString>
#include <QStringList>

// One record to write into a test log file.
struct TestRecord
{
    QString dateTime;
    QString message;
    QString logType = QStringLiteral("Info");
};

// Writes records in the tagged format into path, creating its folder. False on failure.
bool writeLogFile(const QString &path, const QList<TestRecord> &records);

// Creates an empty file at path, creating its folder. False on failure.
bool touchFile(const QString &path);
