#pragma once

#include "qarnlogparser.h"
#include "recordscanner.h"

#include <QStringList>

#include <optional>
#include <vector>

// A log's records as places in its files' bytes, merged into one list ordered by date and time
// text (equal texts in file order, then in each file's order), numbered from 0 by position.
// A record's fields are read from its file and decoded only when asked for, so the index holds
// about 25 bytes per record however long the records are. Read-only once built: safe to read
// from several threads at once.
class RecordIndex
{
public:
    RecordIndex() = default;
    // Merges the files' records; files[i] was scanned from paths[i].
    RecordIndex(const QStringList &paths, std::vector<RecordScanner::FileRecords> &&files);

    [[nodiscard]] size_t size() const { return order.size(); }
    [[nodiscard]] QString dateTime(size_t row) const;
    [[nodiscard]] bool isError(size_t row) const;
    // The record at row, read from its file and numbered row; nothing when its bytes could
    // not be read as they were indexed.
    [[nodiscard]] std::optional<QarnLogParser::QarnLog> record(size_t row) const;
    // Lines cut to the reader's limit, in all files.
    [[nodiscard]] qsizetype cutLines() const;
    // The memory the index holds.
    [[nodiscard]] size_t memoryBytes() const;

private:
    struct Place
    {
        size_t file;
        size_t local;
    };

    [[nodiscard]] Place placeOf(size_t row) const;
    void mergeFiles();

    QStringList paths;
    std::vector<RecordScanner::FileRecords> files;
    // The first global number of each file's records; a record's global number is its file's
    // first plus its place in the file.
    std::vector<size_t> firstOfFile;
    // Global numbers in merged order.
    std::vector<quint32> order;
};
