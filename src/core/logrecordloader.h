#pragma once

#include "datekeys.h"
#include "qarnlogparser.h"

#include <QFileInfo>
#include <QList>
#include <QStringList>

#include <vector>

// Reads the files of one log in parallel and merges their records into one list ordered by
// date and time text, numbered from 0.
class LogRecordLoader
{
public:
    using Records = std::vector<QarnLogParser::QarnLog>;

    // One file's records in date order, with their date keys.
    struct SortedRun
    {
        Records records;
        DateKeys dateKeys;
        QarnLogParser::ParseNotes notes {};
        // The file did not open, or a read failed: the run holds what was read before.
        bool readFailed = false;
    };

    // A loaded log and what the load met on the way, for the window to tell the user.
    struct LoadedLog
    {
        Records records;
        // Absolute paths of the files that could not be opened or read.
        QStringList unreadableFiles;
        // Lines cut to the parser's limit, in all files.
        qsizetype cutLines = 0;
    };

    // Parses every file that opens and merges their records. The result equals a stable sort
    // by dateTime of the files' records in list order.
    [[nodiscard]] static Records loadLogRecords(const QList<QFileInfo> &files);
    // The same, with what the load met on the way. An exception (such as std::bad_alloc)
    // reaches the caller after every job has ended, and nothing is kept.
    [[nodiscard]] static LoadedLog loadLog(const QList<QFileInfo> &files);

    // Parses the files on about one thread per core, each taking the next file as it gets
    // free, and blocks until the last one has finished; returns one sorted run per file, in
    // list order. An exception of a job (such as std::bad_alloc) reaches the caller after
    // every job has ended, and nothing is kept.
    [[nodiscard]] static std::vector<SortedRun> parseSortedRuns(const QList<QFileInfo> &files);

    // Sorts one file's records by dateTime where they are not in order already, equal texts
    // keeping their order, and takes their date keys.
    [[nodiscard]] static SortedRun sortedRun(Records &&records);
    // Merges sorted runs, equal texts keeping the order of the runs, and numbers the records
    // from 0.
    [[nodiscard]] static Records mergeSortedRuns(std::vector<SortedRun> &&runs);
};
