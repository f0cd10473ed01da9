#pragma once

#include "logrecordloader.h"
#include "recordindex.h"

#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRandomGenerator>
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

// A file of random lines in the tagged format: header lines, block lines and stray lines in
// every shape it allows, out-of-order, equal and odd dates, error types in any letter case, in
// UTF-8 (with a byte-order mark, a cut sequence or an invalid byte), UTF-16 or UTF-32, LF or
// CR LF, with or without a last line end.
QByteArray randomLogFile(QRandomGenerator &random);

// Whether two records have the same fields and number.
bool sameRecord(const QarnLogParser::QarnLog &a, const QarnLogParser::QarnLog &b);

// The index of the files that open, scanned blockSize bytes at a time.
RecordIndex indexOf(const QList<QFileInfo> &files, qsizetype blockSize = 1 << 20);
