#include "recordindex.h"

#include "parallelfor.h"

#include <algorithm>
#include <atomic>
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

// Each file's rows are filled in by the merge.
void RecordIndex::numberFiles()
{
    for (size_t file = 0; file < files.size(); ++file) {
        segments.push_back({globalCount, file, 0});
        globalCount += files[file]->size();
        rowsOfFile.emplace_back();
    }
}

RecordIndex::Place RecordIndex::placeOf(size_t row) const
{
    const size_t global = order[row];
    const auto after = std::upper_bound(segments.begin(), segments.end(), global,
        [](size_t number, const Segment &segment) { return number < segment.firstGlobal; });
    const Segment &segment = *(after - 1);
    return {segment.file, segment.firstLocal + (global - segment.firstGlobal)};
}

size_t RecordIndex::globalOf(size_t file, size_t local) const
{
    return order[rowOf(file, local)];
}

void RecordIndex::placeRow(size_t global, const Place &place)
{
    rowsOfFile[place.file].set(place.local, order.size());
    order.push_back(quint32(global));
}

bool RecordIndex::before(const Place &a, const Place &b) const
{
    return before(*this, a, *this, b);
}

bool RecordIndex::before(
    const RecordIndex &aIndex, const Place &a, const RecordIndex &bIndex, const Place &b)
{
    const int dates
        = aIndex.files[a.file]->dates.compare(a.local, bIndex.files[b.file]->dates, b.local);
    if (dates != 0)
        return dates < 0;
    return a.file != b.file ? a.file < b.file : a.local < b.local;
}

// A large log whose dates are all of one shape and kept as keys, as nearly every log's are, is
// merged on several threads.
bool RecordIndex::mergesInDateRanges() const
{
    constexpr size_t fewestRecords = size_t(1) << 16;
    return threadCount() > 1 && files.size() > 1 && globalCount >= fewestRecords
        && std::all_of(files.begin(), files.end(), [this](const auto &file) {
               return file->dates.allRegular() && file->dates.sharesShapeWith(files.front()->dates);
           });
}

quint64 RecordIndex::keyInDateOrder(size_t file, const Runs &runs, size_t at) const
{
    return files[file]->dates.keyAt(localAt(runs[file], at));
}

// The first place in the file's date order whose key is not below key.
size_t RecordIndex::firstKeyAtLeast(size_t file, const Runs &runs, quint64 key) const
{
    size_t low = 0;
    size_t high = files[file]->size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (keyInDateOrder(file, runs, middle) < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// The dates that cut the largest file into even parts cut every file: a part takes each file's
// records in date order from one cut to the next, so all of a part's records come before the
// next part's, and its rows start after theirs.
void RecordIndex::mergeInDateRanges(size_t parts, const Runs &runs)
{
    const auto largest
        = size_t(std::max_element(files.begin(), files.end(), [](const auto &a, const auto &b) {
              return a->size() < b->size();
          }) - files.begin());
    std::vector<quint64> cuts;
    for (size_t part = 1; part < parts; ++part)
        cuts.push_back(keyInDateOrder(largest, runs, files[largest]->size() * part / parts));
    std::vector<std::vector<size_t>> starts(parts + 1, std::vector<size_t>(files.size()));
    for (size_t file = 0; file < files.size(); ++file) {
        for (size_t part = 1; part < parts; ++part)
            starts[part][file] = firstKeyAtLeast(file, runs, cuts[part - 1]);
        starts[parts][file] = files[file]->size();
        rowsOfFile[file].reset(files[file]->size());
    }
    order.reset(globalCount);
    parallelParts(parts, parts, [&](size_t first, size_t last) {
        for (size_t part = first; part < last; ++part)
            mergeRange(starts[part], starts[part + 1], runs);
    });
}

// Merges each file's records from place from[file] to place to[file] of its date order into
// the rows from the sum of from on; the dates are keys of one shape. A tie goes to the earlier
// file. The earliest of a few heads is found by looking at each, of many through a heap.
void RecordIndex::mergeRange(
    const std::vector<size_t> &from, const std::vector<size_t> &to, const Runs &runs)
{
    struct Head
    {
        quint64 key;
        size_t file;
        size_t at;
    };
    const auto earlier = [](const Head &a, const Head &b) {
        return a.key != b.key ? a.key < b.key : a.file < b.file;
    };
    std::vector<Head> heads;
    for (size_t file = 0; file < files.size(); ++file) {
        if (from[file] < to[file])
            heads.push_back({keyInDateOrder(file, runs, from[file]), file, from[file]});
    }
    size_t row = std::accumulate(from.begin(), from.end(), size_t(0));
    // Places the head's record and moves the head on; false when its file has no more here.
    const auto placeHead = [&](Head &head) {
        const size_t local = localAt(runs[head.file], head.at);
        rowsOfFile[head.file].set(local, quint32(row));
        order.set(row++, quint32(segments[head.file].firstGlobal + local));
        if (++head.at >= to[head.file])
            return false;
        head.key = keyInDateOrder(head.file, runs, head.at);
        return true;
    };
    constexpr size_t fewHeads = 8;
    if (heads.size() <= fewHeads) {
        while (!heads.empty()) {
            const auto earliest = std::min_element(heads.begin(), heads.end(), earlier);
            if (!placeHead(*earliest))
                heads.erase(earliest);
        }
        return;
    }
    // The heap's top must be the earliest head: "later" puts the later one lower.
    const auto later = [&earlier](const Head &a, const Head &b) {
        return earlier(b, a);
    };
    std::make_heap(heads.begin(), heads.end(), later);
    while (!heads.empty()) {
        std::pop_heap(heads.begin(), heads.end(), later);
        if (placeHead(heads.back()))
            std::push_heap(heads.begin(), heads.end(), later);
        else
            heads.pop_back();
    }
}

// The files not in date order are put in order on all threads, a file at a time; a file in
// order gets no list.
RecordIndex::Runs RecordIndex::runsInDateOrder() const
{
    Runs runs(files.size());
    std::atomic<size_t> next {0};
    parallelParts(files.size(), std::min(files.size(), threadCount()), [&](size_t, size_t) {
        for (size_t file; (file = next.fetch_add(1)) < files.size();) {
            if (!files[file]->dates.inOrder())
                runs[file] = files[file]->dates.rowsInDateOrder();
        }
    });
    return runs;
}

// Each file's records are put in date order first, equal dates keeping their order; then the
// files are merged, in date ranges on all cores where their dates allow, otherwise with a heap,
// a tie going to the earlier file.
void RecordIndex::mergeFiles()
{
    Runs runs = runsInDateOrder();
    if (mergesInDateRanges()) {
        mergeInDateRanges(threadCount(), runs);
        return;
    }
    for (size_t f = 0; f < files.size(); ++f) {
        for (size_t local = 0; local < runs[f].size(); ++local)
            rowsOfFile[f].push_back(0);
    }
    // Each head keeps its date's key, so that the merge reads each date once: where all files
    // share one shape of date, two regular keys compare as their dates.
    const bool oneShape = std::all_of(files.begin(), files.end(),
        [&](const auto &file) { return file->dates.sharesShapeWith(files.front()->dates); });
    struct Head
    {
        size_t file;
        size_t next;
        quint64 key;
    };
    const auto headAt = [&](size_t file, size_t next) {
        return Head {file, next, files[file]->dates.keyAt(localAt(runs[file], next))};
    };
    // The heap's top must be the earliest head: "greater" puts the later one lower. Heads are
    // of different files.
    const auto later = [&](const Head &a, const Head &b) {
        if (oneShape && a.key != DateColumn::irregular && b.key != DateColumn::irregular)
            return a.key != b.key ? a.key > b.key : a.file > b.file;
        const int dates = files[b.file]->dates.compareWithKeys(localAt(runs[b.file], b.next), b.key,
            files[a.file]->dates, localAt(runs[a.file], a.next), a.key);
        return dates != 0 ? dates < 0 : b.file < a.file;
    };
    std::priority_queue<Head, std::vector<Head>, decltype(later)> heads(later);
    for (size_t f = 0; f < files.size(); ++f) {
        if (files[f]->size() > 0)
            heads.push(headAt(f, 0));
    }
    while (!heads.empty()) {
        const Head head = heads.top();
        heads.pop();
        const size_t local = localAt(runs[head.file], head.next);
        // A file in date order gets its rows in its own order.
        if (runs[head.file].empty())
            rowsOfFile[head.file].push_back(order.size());
        else
            rowsOfFile[head.file].set(local, order.size());
        order.push_back(quint32(segments[head.file].firstGlobal + local));
        if (head.next + 1 < files[head.file]->size())
            heads.push(headAt(head.file, head.next + 1));
        else
            std::vector<quint32>().swap(runs[head.file]);
    }
}

// The records read anew take new global numbers past the old ones, except those that were
// read again, which keep theirs. The rows up to the first one that changes are kept as they
// are; from there, the old rows that stay and the records read anew are merged in order.
std::optional<RecordIndex::Grown> RecordIndex::grown(const RecordIndex &old,
    const std::vector<File> &grownFiles, const std::vector<size_t> &readFrom)
{
    auto index = std::make_shared<RecordIndex>();
    index->segments = old.segments;
    index->globalCount = old.globalCount;
    index->rowsOfFile = old.rowsOfFile;
    index->order = old.order;
    struct Fresh
    {
        Place place;
        size_t global;
    };
    std::vector<Fresh> fresh;
    std::vector<size_t> removedRows;
    for (size_t file = 0; file < grownFiles.size(); ++file) {
        index->bytes.push_back(grownFiles[file].bytes);
        index->files.push_back(grownFiles[file].records);
        const size_t before = old.recordsInFile(file);
        const size_t now = index->files[file]->size();
        if (now < before || readFrom[file] > before)
            return std::nullopt;
        if (now > before) {
            index->segments.push_back({index->globalCount, file, before});
            index->globalCount += now - before;
        }
        for (size_t local = readFrom[file]; local < now; ++local) {
            const bool known = local < before;
            if (known)
                removedRows.push_back(old.rowOf(file, local));
            else
                index->rowsOfFile[file].push_back(0);
            fresh.push_back({{file, local},
                known ? old.globalOf(file, local)
                      : index->segments.back().firstGlobal + local - before});
        }
    }
    std::sort(fresh.begin(), fresh.end(),
        [&](const Fresh &a, const Fresh &b) { return index->before(a.place, b.place); });
    std::sort(removedRows.begin(), removedRows.end());
    // The first old row that comes after the first record read anew.
    size_t first = old.size();
    if (!fresh.empty()) {
        size_t low = 0;
        while (low < first) {
            const size_t middle = low + (first - low) / 2;
            if (before(*index, fresh.front().place, old, old.placeOf(middle)))
                first = middle;
            else
                low = middle + 1;
        }
    }
    if (!removedRows.empty())
        first = std::min(first, removedRows.front());
    index->order.truncate(first);
    auto removed = removedRows.begin();
    auto next = fresh.begin();
    for (size_t row = first; row < old.size() || next != fresh.end();) {
        if (removed != removedRows.end() && *removed == row) {
            ++removed;
            ++row;
            continue;
        }
        const bool takeOld = row < old.size()
            && (next == fresh.end() || index->before(old.placeOf(row), next->place));
        if (takeOld) {
            index->placeRow(old.order[row], old.placeOf(row));
            ++row;
        } else {
            index->placeRow(next->global, next->place);
            ++next;
        }
    }
    return Grown {std::move(index), first};
}

// Small enough that a block read stays in the processor's cache while it is searched, large
// enough that reading costs little per block.
size_t RecordIndex::blockEnd(size_t file, size_t first, size_t end) const
{
    constexpr qint64 blockBytes = qint64(512) << 10;
    const RecordScanner::FileRecords &records = *files[file];
    const qint64 limit = records.begins[first] + blockBytes;
    return records.ends.upperBound(first + 1, end, limit);
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

std::optional<QByteArray> RecordIndex::blockBytes(
    size_t file, size_t first, size_t end, qint64 maxBytes) const
{
    const qint64 begin = recordBegin(file, first);
    const qint64 length = std::min(recordEnd(file, end - 1) - begin, maxBytes);
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

// A record cut short parses as one whose message block was never closed: its message is the
// start of the whole one.
std::optional<QarnLogParser::QarnLog> RecordIndex::record(size_t row, qint64 maxBytes) const
{
    const Place place = placeOf(row);
    const std::optional<QByteArray> read
        = blockBytes(place.file, place.local, place.local + 1, maxBytes);
    auto block = read ? parseBlock(place.file, place.local, place.local + 1, *read) : std::nullopt;
    if (!block)
        return std::nullopt;
    block->front().line = qint32(row);
    return std::move(block->front());
}

std::vector<RecordIndex::WantedPlace> RecordIndex::placesInFileOrder(
    const int *rows, size_t count) const
{
    std::vector<WantedPlace> places(count);
    for (size_t i = 0; i < count; ++i)
        places[i] = {placeOf(size_t(rows[i])), i};
    std::sort(places.begin(), places.end(), [](const WantedPlace &a, const WantedPlace &b) {
        return a.place.file != b.place.file ? a.place.file < b.place.file
                                            : a.place.local < b.place.local;
    });
    return places;
}

std::optional<std::vector<QarnLogParser::QarnLog>> RecordIndex::records(
    const int *wanted, size_t count) const
{
    const std::vector<WantedPlace> places = placesInFileOrder(wanted, count);
    std::vector<QarnLogParser::QarnLog> found(count);
    for (size_t next = 0; next < count;) {
        const Place first = places[next].place;
        // The wanted records of this file, read from the first to the last in blocks.
        size_t last = next;
        while (last + 1 < count && places[last + 1].place.file == first.file)
            ++last;
        const bool complete = readFileRecords(first.file, first.local, places[last].place.local + 1,
            [&](size_t row, const QarnLogParser::QarnLog &record) {
                while (next <= last && rowOf(first.file, places[next].place.local) == row) {
                    found[places[next].answer] = record;
                    found[places[next].answer].line = qint32(row);
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
    size_t bytes = order.memoryBytes() + segments.capacity() * sizeof(Segment);
    for (const ChunkedColumn<quint32> &rows : rowsOfFile)
        bytes += rows.memoryBytes();
    for (const auto &file : files)
        bytes += file->memoryBytes();
    return bytes;
}
