#pragma once

#include "chunkedcolumn.h"
#include "filebytes.h"
#include "qarnlogparser.h"
#include "recordscanner.h"
#include "textencoding.h"

#include <QStringList>

#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// A log's records as places in its files' bytes, merged into one list ordered by date and time
// text (equal texts in file order, then in each file's order), numbered from 0 by position.
// A record's fields are read from its file and decoded only when asked for, so the index holds
// about 33 bytes per record however long the records are. Read-only once built: safe to read
// from several threads at once. A log whose files grew gets a new index that shares the old
// one's storage (grown), made in time that grows with what changed, not with the log.
class RecordIndex
{
public:
    RecordIndex() = default;
    // Merges the files' records; files[i] was scanned from paths[i]. Keeps the files open
    // (the first few hundred of them), so that their records stay readable when they are
    // removed or renamed.
    RecordIndex(const QStringList &paths, std::vector<RecordScanner::FileRecords> &&files);
    // One file of the index: its bytes and its records, which indexes of the same log share.
    struct File
    {
        std::shared_ptr<FileBytes> bytes;
        std::shared_ptr<const RecordScanner::FileRecords> records;
    };
    // Merges the records of files that are read already.
    explicit RecordIndex(std::vector<File> &&files);
    [[nodiscard]] File file(size_t file) const { return {bytes[file], files[file]}; }
    // The index of old's files after they grew: files are old's files, in their order, with
    // more records, each from readFrom[file] on read anew (the records before are old's). The
    // rows before firstChangedRow are old's; nothing when a file has fewer records than before.
    struct Grown
    {
        std::shared_ptr<const RecordIndex> index;
        size_t firstChangedRow = 0;
    };
    [[nodiscard]] static std::optional<Grown> grown(const RecordIndex &old,
        const std::vector<File> &files, const std::vector<size_t> &readFrom);

    [[nodiscard]] size_t size() const { return order.size(); }
    [[nodiscard]] QString dateTime(size_t row) const;
    [[nodiscard]] bool isError(size_t row) const;
    // The bytes the record at row takes in its file.
    [[nodiscard]] qint64 byteSize(size_t row) const;
    // The record at row, read from its file and numbered row; nothing when its bytes could
    // not be read as they were indexed. Of a record longer than maxBytes (a multiple of four,
    // for UTF-16 and UTF-32 files) only its first maxBytes are read: its message ends there.
    [[nodiscard]] std::optional<QarnLogParser::QarnLog> record(
        size_t row, qint64 maxBytes = std::numeric_limits<qint64>::max()) const;
    // The records at rows[0 .. count), in that order, numbered by row; nothing when a file no
    // longer holds them. Reads each file once, front to back.
    [[nodiscard]] std::optional<std::vector<QarnLogParser::QarnLog>> records(
        const int *rows, size_t count) const;
    // The records [first, end) of one file in file order, read in blocks of consecutive
    // records and parsed a block at a time: fn(row, record) for each. False, after the records
    // that were read, when a file's bytes no longer hold the records that were indexed there.
    template<typename Fn>
    bool readFileRecords(size_t file, size_t first, size_t end, Fn fn) const;
    // The same for the records' bytes, not parsed: fn(local, bytes), from a record's header
    // line to its end, for each; fn returns false to stop. False when a block cannot be read
    // or fn stopped.
    template<typename Fn>
    bool readFileBytes(size_t file, size_t first, size_t end, Fn fn) const;
    [[nodiscard]] size_t fileCount() const { return files.size(); }
    [[nodiscard]] size_t recordsInFile(size_t file) const { return files[file]->size(); }
    // The row of a file's record.
    [[nodiscard]] size_t rowOf(size_t file, size_t local) const { return rowsOfFile[file][local]; }
    // The bytes of a file's records [first, end), from the first one's header line to the
    // last one's end; nothing when the file no longer holds them.
    [[nodiscard]] std::optional<QByteArray> blockBytes(size_t file, size_t first, size_t end,
        qint64 maxBytes = std::numeric_limits<qint64>::max()) const;
    // The records that those bytes hold, numbered 0; nothing when they are not the records
    // indexed there.
    [[nodiscard]] std::optional<std::vector<QarnLogParser::QarnLog>> parseBlock(
        size_t file, size_t first, size_t end, QByteArrayView block) const;
    // Where a file's record begins and ends in its bytes.
    [[nodiscard]] qint64 recordBegin(size_t file, size_t local) const
    {
        return files[file]->begins[local];
    }
    [[nodiscard]] qint64 recordEnd(size_t file, size_t local) const
    {
        return files[file]->ends[local];
    }
    // Whether a record's indexed date is this ASCII text, read from its bytes: a record read
    // again must still be the one indexed there.
    [[nodiscard]] bool holdsDate(size_t file, size_t local, std::string_view date) const
    {
        return files[file]->dates.holds(
            local, QLatin1StringView(date.data(), qsizetype(date.size())));
    }
    [[nodiscard]] TextEncoding encoding(size_t file) const
    {
        return encodingOfMark(files[file]->byteOrderMark);
    }
    // Whether a file's bytes are UTF-8 (not UTF-16 or UTF-32).
    [[nodiscard]] bool isUtf8(size_t file) const { return encoding(file) == TextEncoding::utf8; }
    // Where a block read by readFileRecords ends: past the records that fit in its bytes,
    // and past one record at least.
    [[nodiscard]] size_t blockEnd(size_t file, size_t first, size_t end) const;
    // A record whose never-closed message block took in later records: its row and the lines
    // its block took in.
    struct UnclosedBlock
    {
        size_t row;
        qint64 lines;
    };
    // Every such record, by row.
    [[nodiscard]] std::vector<UnclosedBlock> unclosedBlocks() const;
    // Lines cut to the reader's limit, in all files.
    [[nodiscard]] qsizetype cutLines() const;
    // The memory the index holds.
    [[nodiscard]] size_t memoryBytes() const;

    // Where the record at row lies: its file and its place in the file.
    struct Place
    {
        size_t file;
        size_t local;
    };
    // Wanted rows' places in file order, each with its place among the wanted rows.
    struct WantedPlace
    {
        Place place;
        size_t answer;
    };
    [[nodiscard]] std::vector<WantedPlace> placesInFileOrder(const int *rows, size_t count) const;
    [[nodiscard]] Place placeOf(size_t row) const;

private:
    // Global numbers name records across the files: a run of them names consecutive records
    // of one file, and numbers once given are kept while the files grow.
    struct Segment
    {
        size_t firstGlobal;
        size_t file;
        size_t firstLocal;
    };

    void numberFiles();
    // Per file, the places of its records in date order; empty for a file in date order.
    using Runs = std::vector<std::vector<quint32>>;
    static size_t localAt(const std::vector<quint32> &run, size_t at)
    {
        return run.empty() ? at : size_t(run[at]);
    }

    void mergeFiles();
    [[nodiscard]] Runs runsInDateOrder() const;
    [[nodiscard]] quint64 keyInDateOrder(size_t file, const Runs &runs, size_t at) const;
    [[nodiscard]] size_t firstKeyAtLeast(size_t file, const Runs &runs, quint64 key) const;
    [[nodiscard]] bool mergesInDateRanges() const;
    void mergeInDateRanges(size_t parts, const Runs &runs);
    void mergeRange(
        const std::vector<size_t> &from, const std::vector<size_t> &to, const Runs &runs);
    // Whether the record at a comes before the one at b: by date text, then file, then place.
    [[nodiscard]] bool before(const Place &a, const Place &b) const;
    [[nodiscard]] static bool before(
        const RecordIndex &aIndex, const Place &a, const RecordIndex &bIndex, const Place &b);
    [[nodiscard]] size_t globalOf(size_t file, size_t local) const;
    void placeRow(size_t global, const Place &place);
    [[nodiscard]] std::optional<std::vector<QarnLogParser::QarnLog>> readBlock(
        size_t file, size_t first, size_t end) const;

    // Files beyond this many are opened for each read instead of being kept open.
    static constexpr size_t mostOpenFiles = 256;

    std::vector<std::shared_ptr<FileBytes>> bytes;
    std::vector<std::shared_ptr<const RecordScanner::FileRecords>> files;
    // By first global number.
    std::vector<Segment> segments;
    size_t globalCount = 0;
    // Global numbers in merged order, and the row of each file's records.
    ChunkedColumn<quint32> order;
    std::vector<ChunkedColumn<quint32>> rowsOfFile;
};

template<typename Fn>
bool RecordIndex::readFileBytes(size_t file, size_t first, size_t end, Fn fn) const
{
    while (first < end) {
        const size_t last = blockEnd(file, first, end);
        const std::optional<QByteArray> block = blockBytes(file, first, last);
        if (!block)
            return false;
        const qint64 start = recordBegin(file, first);
        for (size_t local = first; local < last; ++local) {
            const qint64 begin = recordBegin(file, local) - start;
            if (!fn(local,
                    QByteArrayView(*block).sliced(begin, recordEnd(file, local) - start - begin)))
                return false;
        }
        first = last;
    }
    return true;
}

template<typename Fn>
bool RecordIndex::readFileRecords(size_t file, size_t first, size_t end, Fn fn) const
{
    while (first < end) {
        const size_t last = blockEnd(file, first, end);
        const auto block = readBlock(file, first, last);
        if (!block)
            return false;
        for (size_t local = first; local < last; ++local)
            fn(rowOf(file, local), (*block)[local - first]);
        first = last;
    }
    return true;
}
