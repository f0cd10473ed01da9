#include "recordindex.h"

#include <QFile>

#include <algorithm>
#include <numeric>
#include <queue>

RecordIndex::RecordIndex(const QStringList &paths, std::vector<RecordScanner::FileRecords> &&files)
    : paths(paths)
    , files(std::move(files))
{
    size_t count = 0;
    for (const RecordScanner::FileRecords &file : this->files) {
        firstOfFile.push_back(count);
        count += file.size();
    }
    mergeFiles();
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
// already), then the files are merged with a heap, a tie going to the earlier file.
void RecordIndex::mergeFiles()
{
    std::vector<std::vector<quint32>> runs(files.size());
    for (size_t f = 0; f < files.size(); ++f) {
        const RecordScanner::FileRecords &file = files[f];
        std::vector<quint32> &run = runs[f];
        run.resize(file.size());
        std::iota(run.begin(), run.end(), quint32(0));
        const auto earlier = [&file](quint32 a, quint32 b) {
            return file.dates.earlier(a, file.dates, b);
        };
        if (!std::is_sorted(run.begin(), run.end(), earlier))
            std::stable_sort(run.begin(), run.end(), earlier);
    }
    struct Head
    {
        size_t file;
        size_t next;
    };
    // The heap's top must be the earliest head: "greater" puts the later one lower.
    const auto later = [&](const Head &a, const Head &b) {
        const size_t aLocal = runs[a.file][a.next];
        const size_t bLocal = runs[b.file][b.next];
        if (files[b.file].dates.earlier(bLocal, files[a.file].dates, aLocal))
            return true;
        if (files[a.file].dates.earlier(aLocal, files[b.file].dates, bLocal))
            return false;
        return a.file > b.file;
    };
    std::priority_queue<Head, std::vector<Head>, decltype(later)> heads(later);
    size_t count = 0;
    for (size_t f = 0; f < runs.size(); ++f) {
        count += runs[f].size();
        if (!runs[f].empty())
            heads.push({f, 0});
    }
    order.reserve(count);
    while (!heads.empty()) {
        Head head = heads.top();
        heads.pop();
        order.push_back(quint32(firstOfFile[head.file] + runs[head.file][head.next]));
        if (++head.next < runs[head.file].size())
            heads.push(head);
        else
            std::vector<quint32>().swap(runs[head.file]);
    }
}

QString RecordIndex::dateTime(size_t row) const
{
    const Place place = placeOf(row);
    return files[place.file].dates.text(place.local);
}

bool RecordIndex::isError(size_t row) const
{
    const Place place = placeOf(row);
    return files[place.file].errors[place.local] != 0;
}

std::optional<QarnLogParser::QarnLog> RecordIndex::record(size_t row) const
{
    const Place place = placeOf(row);
    const RecordScanner::FileRecords &file = files[place.file];
    const qint64 begin = file.begins[place.local];
    const qint64 length = file.ends[place.local] - begin;
    QFile source(paths[qsizetype(place.file)]);
    if (!source.open(QIODevice::ReadOnly) || !source.seek(begin))
        return std::nullopt;
    QByteArray bytes(length, Qt::Uninitialized);
    if (source.read(bytes.data(), length) != length)
        return std::nullopt;
    std::optional<QarnLogParser::QarnLog> decoded
        = RecordScanner::decode(file.byteOrderMark, bytes);
    if (!decoded)
        return std::nullopt;
    decoded->line = qint32(row);
    return decoded;
}

qsizetype RecordIndex::cutLines() const
{
    qsizetype cut = 0;
    for (const RecordScanner::FileRecords &file : files)
        cut += file.cutLines;
    return cut;
}

size_t RecordIndex::memoryBytes() const
{
    size_t bytes = order.capacity() * sizeof(quint32) + firstOfFile.capacity() * sizeof(size_t);
    for (const RecordScanner::FileRecords &file : files)
        bytes += file.memoryBytes();
    return bytes;
}
