#pragma once

#include "datecolumn.h"
#include "offsetcolumn.h"
#include "qarnlogparser.h"

#include <QByteArray>

#include <limits>
#include <optional>
#include <vector>

class QIODevice;
class TextLineReader;

// Finds where each record of one tagged log file lies in its bytes, reading the lines as the
// parser does (byte-order mark, UTF-8/16/32, CR LF, cut lines) but building no record: a
// record is the bytes from its header line to the end of the line that closes its message
// block, or to the end of the input. Parsing those bytes alone, after the file's byte-order
// mark, gives exactly the record that the parse of the whole file gives.
class RecordScanner
{
public:
    // One file's records in file order; copies share what they hold until they change it.
    struct FileRecords
    {
        OffsetColumn begins;
        OffsetColumn ends;
        DateColumn dates;
        // Whether the record's type is "error" or "fatal" in any letter case.
        ChunkedColumn<char> errors;
        QByteArray byteOrderMark;
        // Lines cut to the reader's limit, in and between records.
        qsizetype cutLines = 0;
        // Records whose message block was left open and took in the header lines of records
        // that follow, which the format makes part of its message: the record's place in the
        // file and the lines its block took in.
        struct UnclosedBlock
        {
            size_t local;
            qint64 lines;
        };
        std::vector<UnclosedBlock> unclosedBlocks;

        [[nodiscard]] size_t size() const { return begins.size(); }
        // Keeps the first count records and takes tail's after them: tail was scanned from
        // where record count began.
        void continueWith(size_t count, const FileRecords &tail);
        [[nodiscard]] size_t memoryBytes() const;
    };

    // Reads the device from its current position to its end, blockSize bytes at a time; does
    // not take ownership.
    [[nodiscard]] static FileRecords scan(QIODevice *device, qsizetype blockSize = 1 << 20);

    // A part of a UTF-8 file read on its own, so that a large file is read on several threads.
    struct Part
    {
        FileRecords records;
        // The header line at or past the part's stop that it left to the next part; -1 when
        // it read to the end of the file.
        qint64 stoppedAt = -1;
        // Lines cut before its first record: the part before counts them.
        qsizetype cutLinesBeforeFirst = 0;
    };
    static constexpr qint64 toTheEnd = std::numeric_limits<qint64>::max();
    // The records of a file up to the first header line at or past stopAt that the scan meets
    // between records. With `after` at -1 the device is at the file's start; otherwise it is at
    // byte `after` of a UTF-8 file, and the scan takes the lines that start past it: the line
    // that holds byte `after` is the part before's.
    [[nodiscard]] static Part scanPart(
        QIODevice *device, qint64 after, qint64 stopAt = toTheEnd, qsizetype blockSize = 1 << 20);
    // The file's records from its parts, in file order: a part goes on from where the one
    // before stopped when its first record begins there. Otherwise the records past that
    // point are still to be read, from unreadFrom on (a header line) with scanPart.
    struct Joined
    {
        FileRecords records;
        qint64 unreadFrom = -1;
    };
    [[nodiscard]] static Joined join(std::vector<Part> &&parts);
    // The records of a file from a record's header line at offset on, read in the encoding
    // that the byte-order mark gives, with offsets in the file: what scan finds from there.
    // Nothing when the file does not open.
    [[nodiscard]] static std::optional<FileRecords> scanTail(
        const QString &path, const QByteArray &byteOrderMark, qint64 offset);
    // The records that bytes of a file hold, from a record's header line on, read after the
    // file's byte-order mark.
    [[nodiscard]] static std::vector<QarnLogParser::QarnLog> parseBytes(
        const QByteArray &byteOrderMark, QByteArrayView bytes);

private:
    // Reads records from the reader's lines; offsets in the file are the reader's plus base.
    static Part scanLines(TextLineReader &reader, qint64 base, qint64 stopAt);
};
