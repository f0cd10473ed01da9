#pragma once

#include "logrecordloader.h"

#include <QProcessEnvironment>
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

// Runs a program (the first argument) with the other arguments and the environment; its
// standard output's lines, then "exit:<code>", or "timed out" after two minutes.
QStringList childOutput(const QStringList &arguments,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// Merges the runs and compares the result with the stable sort of all their records by date
// text, numbered from 0. Returns the first difference, or an empty text.
QString mergeDiffersFromStableSort(std::vector<LogRecordLoader::SortedRun> &&runs);
