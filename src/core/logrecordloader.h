#pragma once

#include "datekeys.h"
#include "qarnlogparser.h"
#include "recordindex.h"

#include <QFileInfo>
#include <QList>
#include <QStringList>

#include <atomic>
#include <memory>
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

    // An indexed log: its records stay in its files and are read when asked for.
    struct IndexedLog
    {
        std::shared_ptr<const RecordIndex> index;
        QStringList unreadableFiles;
    };

    // Lets another thread follow a load and stop it: the files' sizes when the load began,
    // the bytes read so far, and a stop request, after which the load reads no further and
    // returns no records.
    struct LoadControl
    {
        std::atomic<qint64> totalBytes {0};
        std::atomic<qint64> bytesRead {0};
        std::atomic<bool> stopRequested {false};
    };

    // Parses every file that opens and merges their records. The result equals a stable sort
    // by dateTime of the files' records in list order.
    [[nodiscard]] static Records loadLogRecords(const QList<QFileInfo> &files);
    // The same, with what the load met on the way. An exception (such as std::bad_alloc)
    // reaches the caller after every job has ended, and nothing is kept.
    // With a control, the bytes read are counted in it as the files are read.
    [[nodiscard]] static LoadedLog loadLog(
        const QList<QFileInfo> &files, LoadControl *control = nullptr);

    // Indexes every file that opens, on about one thread per core, and merges their records;
    // the index gives the records that loadLog gives. A UTF-8 file of at least twice partBytes
    // is read in parts of about that size, on several threads at once; with partBytes 0, parts
    // are just small enough to share the work evenly among the threads, and 64 MiB at least.
    // An exception reaches the caller after every job has ended. A stopped load returns no
    // index.
    [[nodiscard]] static IndexedLog indexLog(
        const QList<QFileInfo> &files, LoadControl *control = nullptr, qint64 partBytes = 0);

    // Parses the files on about one thread per core, each taking the next file as it gets
    // free, and blocks until the last one has finished; returns one sorted run per file, in
    // list order. An exception of a job (such as std::bad_alloc) reaches the caller after
    // every job has ended, and nothing is kept.
    [[nodiscard]] static std::vector<SortedRun> parseSortedRuns(
        const QList<QFileInfo> &files, LoadControl *control = nullptr);

    // Sorts one file's records by dateTime where they are not in order already, equal texts
    // keeping their order, and takes their date keys.
    [[nodiscard]] static SortedRun sortedRun(Records &&records);
    // Merges sorted runs, equal texts keeping the order of the runs, and numbers the records
    // from 0.
    [[nodiscard]] static Records mergeSortedRuns(std::vector<SortedRun> &&runs);
};
