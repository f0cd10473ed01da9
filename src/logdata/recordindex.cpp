#include "recordindex.h"

#include <algorithm>
#include <numeric>
#include <queue>

RecordIndex::RecordIndex(
    const QStringList &paths, std::vector<RecordScanner::FileRecords> &&scanned)
{
    for (qsizetype i = 0; i < paths.size(); ++i) {
        bytes.push_back(std::make_shared<FileBytes>(paths[i], size_t(i) < mostOpenFiles));
        files.push_back(
            std::make_shared<const RecordScanner::FileRecords>(std::move(scanned[size_t(i)])));
    }
    numberFiles();
    mergeFiles();
}

RecordIndex::RecordIndex(std::vector<File> &&read)
{
    for (File &file : read) {
        bytes.push_back(std::move(file.bytes));
        files.push_back(std::move(file.records));
    }
    numberFiles();
    mergeFiles();
}

void RecordIndex::numberFiles()
{
    size_t count = 0;
    for (const auto &file : files) {
        firstOfFile.push_back(count);
        count += file->size();
    }
}

RecordIndex::Place RecordIndex::placeOf(size_t row) const
{
    const size_t global = order[row];
    const size_t file = size_t(std::upper_bound(firstOfFile.begin(), firstOfFile.end(), global)
                            - firstOfFile.begin())
        - 1;
    return {file, global - firstOfFile[file]};
}

// Each file's records are put in date order first (a stable sort, where they are not in order
// already; a file in order, as nearly all are, needs no list of its own), then the files are
// merged with a heap, a tie going to the earlier file.
void RecordIndex::mergeFiles()
{
    std::vector<std::vector<quint32>> runs(files.size());
    for (size_t f = 0; f < files.size(); ++f) {
        const RecordScanner::FileRecords &file = *files[f];
        size_t unordered = 1;
        while (unordered < file.size() && !file.dates.earlier(unordered, file.dates, unordered - 1))
            ++unordered;
        if (unordered >= file.size())
            continue;
        std::vector<quint32> &run = runs[f];
        run.resize(file.size());
        std::iota(run.begin(), run.end(), quint32(0));
        std::stable_sort(run.begin(), run.end(),
            [&file](quint32 a, quint32 b) { return file.dates.earlier(a, file.dates, b); });
    }
    const auto localAt = [&](size_t file, size_t next) {
        return runs[file].empty() ? next : size_t(runs[file][next]);
    };
    struct Head
    {
        size_t file;
        size_t next;
    };
    // The heap's top must be the earliest head: "greater" puts the later one lower.
    const auto later = [&](const Head &a, const Head &b) {
        const size_t aLocal = localAt(a.file, a.next);
        const size_t bLocal = localAt(b.file, b.next);
        if (files[b.file]->dates.earlier(bLocal, files[a.file]->dates, aLocal))
            return true;
        if (files[a.file]->dates.earlier(aLocal, files[b.file]->dates, bLocal))
            return false;
        return a.file > b.file;
    };
    std::priority_queue<Head, std::vector<Head>, decltype(later)> heads(later);
    size_t count = 0;
    for (size_t f = 0; f < files.size(); ++f) {
        count += files[f]->size();
        if (files[f]->size() > 0)
            heads.push({f, 0});
    }
    order.reserve(count);
    while (!heads.empty()) {
        Head head = heads.top();
        heads.pop();
        order.push_back(quint32(firstOfFile[head.file] + localAt(head.file, head.next)));
        if (++head.next < files[head.file]->size())
            heads.push(head);
        else
            std::vector<quint32>().swap(runs[head.file]);
    }
    rows.resize(order.size());
    for (size_t row = 0; row < order.size(); ++row)
        rows[order[row]] = quint32(row);
}

size_t RecordIndex::blockEnd(size_t file, size_t first, size_t end) const
{
    constexpr qint64 blockBytes = qint64(4) << 20;
    const RecordScanner::FileRecords &records = *files[file];
    const qint64 limit = records.begins[first] + blockBytes;
    const auto past = std::upper_bound(
        records.ends.begin() + qsizetype(first) + 1, records.ends.begin() + qsizetype(end), limit);
    return size_t(past - records.ends.begin());
}

// The bytes from the first record's header line to the last one's end hold the records and
// the lines the parser skips between them, so one parse gives exactly these records.
std::optional<std::vector<QarnLogParser::QarnLog>> RecordIndex::readBlock(
    size_t file, size_t first, size_t end) const
{
    const std::optional<QByteArray> block = blockBytes(file, first, end);
    if (!block)
        return std::nullopt;
    return parseBlock(file, first, end, *block);
}

std::optional<QByteArray> RecordIndex::blockBytes(size_t file, size_t first, size_t end) const
{
    const qint64 begin = recordBegin(file, first);
    const qint64 length = recordEnd(file, end - 1) - begin;
    QByteArray block(length, Qt::Uninitialized);
    if (!bytes[file]->read(begin, length, block.data()))
        return std::nullopt;
    return block;
}

std::optional<std::vector<QarnLogParser::QarnLog>> RecordIndex::parseBlock(
    size_t file, size_t first, size_t end, QByteArrayView block) const
{
    const RecordScanner::FileRecords &records = *files[file];
    std::vector<QarnLogParser::QarnLog> parsed
        = RecordScanner::parseBytes(records.byteOrderMark, block);
    if (parsed.size() != end - first)
        return std::nullopt;
    // A file rewritten without a change of size or time would still give other dates.
    for (size_t local = first; local < end; ++local) {
        if (parsed[local - first].dateTime != records.dates.text(local))
            return std::nullopt;
    }
    return parsed;
}

bool RecordIndex::isUtf8(size_t file) const
{
    const QByteArray &mark = files[file]->byteOrderMark;
    return mark.isEmpty() || mark == "\xEF\xBB\xBF";
}

QString RecordIndex::dateTime(size_t row) const
{
    const Place place = placeOf(row);
    return files[place.file]->dates.text(place.local);
}

qint64 RecordIndex::byteSize(size_t row) const
{
    const Place place = placeOf(row);
    return files[place.file]->ends[place.local] - files[place.file]->begins[place.local];
}

bool RecordIndex::isError(size_t row) const
{
    const Place place = placeOf(row);
    return files[place.file]->errors[place.local] != 0;
}

std::optional<QarnLogParser::QarnLog> RecordIndex::record(size_t row) const
{
    const Place place = placeOf(row);
    auto block = readBlock(place.file, place.local, place.local + 1);
    if (!block)
        return std::nullopt;
    block->front().line = qint32(row);
    return std::move(block->front());
}

std::optional<std::vector<QarnLogParser::QarnLog>> RecordIndex::records(
    const int *wanted, size_t count) const
{
    // Each wanted row's global number, with its place in the answer, in file order.
    std::vector<std::pair<quint32, size_t>> globals(count);
    for (size_t i = 0; i < count; ++i)
        globals[i] = {order[size_t(wanted[i])], i};
    std::sort(globals.begin(), globals.end());
    std::vector<QarnLogParser::QarnLog> found(count);
    for (size_t next = 0; next < count;) {
        const Place first = placeOf(size_t(wanted[globals[next].second]));
        // The wanted records of this file, read from the first to the last in blocks.
        size_t last = next;
        while (last + 1 < count
            && globals[last + 1].first < firstOfFile[first.file] + files[first.file]->size())
            ++last;
        const size_t lastLocal = globals[last].first - firstOfFile[first.file];
        const bool complete = readFileRecords(first.file, first.local, lastLocal + 1,
            [&](size_t row, const QarnLogParser::QarnLog &record) {
                if (next <= last && order[row] == globals[next].first) {
                    found[globals[next].second] = record;
                    found[globals[next].second].line = qint32(row);
                    ++next;
                }
            });
        if (!complete)
            return std::nullopt;
    }
    return found;
}

std::vector<RecordIndex::UnclosedBlock> RecordIndex::unclosedBlocks() const
{
    std::vector<UnclosedBlock> blocks;
    for (size_t file = 0; file < files.size(); ++file) {
        for (const RecordScanner::FileRecords::UnclosedBlock &block : files[file]->unclosedBlocks)
            blocks.push_back({rowOf(file, block.local), block.lines});
    }
    std::sort(blocks.begin(), blocks.end(),
        [](const UnclosedBlock &a, const UnclosedBlock &b) { return a.row < b.row; });
    return blocks;
}

qsizetype RecordIndex::cutLines() const
{
    qsizetype cut = 0;
    for (const auto &file : files)
        cut += file->cutLines;
    return cut;
}

size_t RecordIndex::memoryBytes() const
{
    size_t bytes = (order.capacity() + rows.capacity()) * sizeof(quint32)
        + firstOfFile.capacity() * sizeof(size_t);
    for (const auto &file : files)
        bytes += file->memoryBytes();
    return bytes;
}
