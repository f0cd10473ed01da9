#pragma once

#include "datecolumn.h"
#include "qarnlogparser.h"

#include <QByteArray>

#include <optional>
#include <vector>

class QIODevice;

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
        ChunkedColumn<qint64> begins;
        ChunkedColumn<qint64> ends;
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
    // The records of a file from a record's header line at offset on, read in the encoding
    // that the byte-order mark gives, with offsets in the file: what scan finds from there.
    // Nothing when the file does not open.
    [[nodiscard]] static std::optional<FileRecords> scanTail(
        const QString &path, const QByteArray &byteOrderMark, qint64 offset);
    // The records that bytes of a file hold, from a record's header line on, read after the
    // file's byte-order mark.
    [[nodiscard]] static std::vector<QarnLogParser::QarnLog> parseBytes(
        const QByteArray &byteOrderMark, QByteArrayView bytes);
};
