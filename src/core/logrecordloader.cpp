#include "logrecordloader.h"

#include "parallelfor.h"
#include "sortedrunmerger.h"

#include <QFile>
#include <QSet>
#include <QStringConverter>

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

using QarnLog = QarnLogParser::QarnLog;

using SortedRun = LogRecordLoader::SortedRun;

// Below this size a list's unused room is given back after parsing.
constexpr size_t smallListBytes = size_t(4) << 20;

// A file that tells, as the parser that owns it deletes it, whether a read failed; with a
// control, it counts the bytes it reads there and ends its data early once a stop is asked.
class ReadCheckedFile : public QFile
{
public:
    ReadCheckedFile(const QString &path, bool &failed, LogRecordLoader::LoadControl *control)
        : QFile(path)
        , failed(failed)
        , control(control)
    { }
    ~ReadCheckedFile() override { failed = failed || error() != QFileDevice::NoError; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (!control)
            return QFile::readData(data, maxSize);
        if (control->stopRequested.load(std::memory_order_relaxed))
            return 0;
        const qint64 got = QFile::readData(data, maxSize);
        if (got > 0)
            control->bytesRead.fetch_add(got, std::memory_order_relaxed);
        return got;
    }

private:
    bool &failed;
    LogRecordLoader::LoadControl *control;
};

// The values of the recurring fields (type, thread, module, file, line) met in the small files
// one worker parsed. The parser shares equal values within a file; a log of thousands of small
// files would otherwise keep each file's own copies of the same few hundred values.
class SharedFieldValues
{
public:
    void share(LogRecordLoader::Records &records)
    {
        for (QarnLog &log : records) {
            for (QString *field :
                {&log.logType, &log.threadID, &log.moduleName, &log.cppFileName, &log.cppLine})
                share(*field);
        }
    }

private:
    // Beyond this many values the rest stay as the parser made them.
    static constexpr qsizetype mostValues = qsizetype(1) << 16;

    void share(QString &value)
    {
        if (value.isNull())
            return;
        const auto known = values.constFind(value);
        if (known != values.cend())
            value = *known;
        else if (values.size() < mostValues)
            values.insert(value);
    }

    QSet<QString> values;
};

// Parses and sorts one file on the calling thread.
SortedRun parsedRun(
    const QFileInfo &info, LogRecordLoader::LoadControl *control, SharedFieldValues &sharedValues)
{
    bool failed = false;
    QarnLogParser::ParseNotes notes;
    LogRecordLoader::Records records;
    auto file = std::make_unique<ReadCheckedFile>(info.absoluteFilePath(), failed, control);
    if (file->open(QIODevice::ReadOnly))
        records = QarnLogParser::parse(file.release(), notes);
    else
        failed = true;
    // A stopped load keeps nothing, and sorting what it read would only delay the stop.
    if (control && control->stopRequested.load())
        return {};
    // The parser reserves room for a typical record size. In a large list the room left over
    // is never touched, but in a small one it shares pages with data and counts in full.
    if (records.capacity() * sizeof(QarnLog) < smallListBytes) {
        records.shrink_to_fit();
        sharedValues.share(records);
    }
    SortedRun run = LogRecordLoader::sortedRun(std::move(records));
    run.notes = notes;
    run.readFailed = failed;
    return run;
}

// Each of about two workers per thread takes the next item (a file, or a part of one) until
// none is left: items differ in size, and the workers stay busy alike. After an exception the
// others take no more. With one worker per thread, three equal files parsed whole on two
// threads would take two files' time instead of one and a half; twice as many keep a few large
// files evenly spread, and many small ones still share them.
template<typename Work>
void forEachInParallel(size_t count, const Work &work)
{
    std::atomic<size_t> nextFile {0};
    const size_t workers = std::min(count, 2 * threadCount());
    parallelParts(count, workers, [&](size_t, size_t) {
        SharedFieldValues sharedValues;
        try {
            for (size_t file; (file = nextFile.fetch_add(1, std::memory_order_relaxed)) < count;)
                work(file, sharedValues);
        } catch (...) {
            nextFile.store(count, std::memory_order_relaxed);
            throw;
        }
    });
}

// Part of a file to be read: from its start (after -1) or from the first line that starts past
// byte `after`, up to the first record at or past stopAt.
struct FilePart
{
    size_t file;
    qint64 after;
    qint64 stopAt;
};

// Whether a file's text is UTF-8, which can be read from any line on: it starts with no
// byte-order mark of another encoding.
bool isUtf8(const QFileInfo &info)
{
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const auto encoding = QStringConverter::encodingForData(file.read(4));
    return !encoding || *encoding == QStringConverter::Utf8;
}

qint64 totalBytes(const QList<QFileInfo> &files)
{
    qint64 total = 0;
    for (const QFileInfo &file : files)
        total += file.size();
    return total;
}

// Of about this many bytes at least, parts cost little to start and to join.
constexpr qint64 leastPartBytes = qint64(64) << 20;

// Parts just small enough that each of two workers per thread gets an even share of the work:
// a part's records are copied once more when they are joined.
qint64 sharingPartBytes(const QList<QFileInfo> &files)
{
    return std::max(leastPartBytes, totalBytes(files) / qint64(2 * threadCount()));
}

// The parts of the files, in order; a file that is not read in parts is one part.
std::vector<FilePart> partsOf(const QList<QFileInfo> &files, qint64 bytesPerPart)
{
    std::vector<FilePart> parts;
    for (qsizetype file = 0; file < files.size(); ++file) {
        const qint64 size = files[file].size();
        const qint64 count
            = size >= 2 * bytesPerPart && isUtf8(files[file]) ? size / bytesPerPart : qint64(1);
        for (qint64 part = 0; part < count; ++part) {
            parts.push_back({size_t(file), part == 0 ? -1 : size * part / count - 1,
                part + 1 < count ? size * (part + 1) / count : RecordScanner::toTheEnd});
        }
    }
    return parts;
}

RecordScanner::Part scanFilePart(const QFileInfo &info, qint64 after, qint64 stopAt,
    LogRecordLoader::LoadControl *control, bool &readFailed)
{
    // Tells whether a read failed as it goes.
    ReadCheckedFile device(info.absoluteFilePath(), readFailed, control);
    if (!device.open(QIODevice::ReadOnly) || (after >= 0 && !device.seek(after))) {
        readFailed = true;
        return {};
    }
    return RecordScanner::scanPart(&device, after, stopAt);
}

// A file's records from its parts, and those that no part could give read on to the end.
RecordScanner::FileRecords joinedParts(const QFileInfo &info, std::vector<RecordScanner::Part> own,
    LogRecordLoader::LoadControl *control, bool &readFailed)
{
    RecordScanner::Joined joined = RecordScanner::join(std::move(own));
    if (joined.unreadFrom < 0)
        return std::move(joined.records);
    RecordScanner::Part rest
        = scanFilePart(info, joined.unreadFrom - 1, RecordScanner::toTheEnd, control, readFailed);
    rest.records.byteOrderMark = joined.records.byteOrderMark;
    joined.records.continueWith(joined.records.size(), rest.records);
    return std::move(joined.records);
}

void countTotalBytes(const QList<QFileInfo> &files, LogRecordLoader::LoadControl *control)
{
    if (control)
        control->totalBytes.store(totalBytes(files));
}

} // namespace

LogRecordLoader::Records LogRecordLoader::loadLogRecords(const QList<QFileInfo> &files)
{
    return loadLog(files).records;
}

LogRecordLoader::LoadedLog LogRecordLoader::loadLog(
    const QList<QFileInfo> &files, LoadControl *control)
{
    countTotalBytes(files, control);
    std::vector<SortedRun> runs = parseSortedRuns(files, control);
    LoadedLog loaded;
    if (control && control->stopRequested.load())
        return loaded;
    for (size_t i = 0; i < runs.size(); ++i) {
        loaded.cutLines += runs[i].notes.cutLines;
        if (runs[i].readFailed)
            loaded.unreadableFiles.append(files[qsizetype(i)].absoluteFilePath());
    }
    loaded.records = mergeSortedRuns(std::move(runs));
    return loaded;
}

std::vector<LogRecordLoader::SortedRun> LogRecordLoader::parseSortedRuns(
    const QList<QFileInfo> &files, LoadControl *control)
{
    std::vector<SortedRun> runs(size_t(files.size()));
    forEachInParallel(size_t(files.size()), [&](size_t file, SharedFieldValues &sharedValues) {
        runs[file] = parsedRun(files[qsizetype(file)], control, sharedValues);
    });
    return runs;
}

LogRecordLoader::IndexedLog LogRecordLoader::indexLog(
    const QList<QFileInfo> &files, LoadControl *control, qint64 partBytes)
{
    countTotalBytes(files, control);
    const std::vector<FilePart> parts
        = partsOf(files, partBytes > 0 ? partBytes : sharingPartBytes(files));
    std::vector<RecordScanner::Part> scannedParts(parts.size());
    // Parts of one file are read on several threads: each notes its own failure.
    std::vector<char> partFailed(parts.size(), 0);
    forEachInParallel(parts.size(), [&](size_t part, SharedFieldValues &) {
        const FilePart &where = parts[part];
        bool readFailed = false;
        scannedParts[part] = scanFilePart(
            files[qsizetype(where.file)], where.after, where.stopAt, control, readFailed);
        partFailed[part] = readFailed;
    });
    std::vector<char> failed(size_t(files.size()), 0);
    for (size_t part = 0; part < parts.size(); ++part)
        failed[parts[part].file] |= partFailed[part];
    // Each file has one part at least, and its parts follow one another.
    std::vector<size_t> firstPart(failed.size() + 1, parts.size());
    for (size_t part = parts.size(); part-- > 0;)
        firstPart[parts[part].file] = part;
    std::vector<RecordScanner::FileRecords> scanned(failed.size());
    forEachInParallel(scanned.size(), [&](size_t file, SharedFieldValues &) {
        bool readFailed = false;
        const auto begin = scannedParts.begin() + qsizetype(firstPart[file]);
        const auto end = scannedParts.begin() + qsizetype(firstPart[file + 1]);
        scanned[file] = joinedParts(files[qsizetype(file)],
            {std::make_move_iterator(begin), std::make_move_iterator(end)}, control, readFailed);
        if (readFailed)
            failed[file] = 1;
    });
    IndexedLog indexed;
    if (control && control->stopRequested.load())
        return indexed;
    QStringList paths;
    for (qsizetype i = 0; i < files.size(); ++i) {
        paths.append(files[i].absoluteFilePath());
        if (failed[size_t(i)])
            indexed.unreadableFiles.append(paths.constLast());
    }
    indexed.index = std::make_shared<const RecordIndex>(paths, std::move(scanned));
    return indexed;
}

// Runs on the parse job's thread, so that files that are out of order are sorted in parallel.
LogRecordLoader::SortedRun LogRecordLoader::sortedRun(Records &&records)
{
    DateKeys dateKeys(records);
    if (!dateKeys.inOrder(records)) {
        std::stable_sort(records.begin(), records.end(),
            [](const QarnLog &a, const QarnLog &b) { return a.dateTime < b.dateTime; });
        dateKeys = DateKeys(records);
    }
    return {std::move(records), std::move(dateKeys)};
}

LogRecordLoader::Records LogRecordLoader::mergeSortedRuns(std::vector<SortedRun> &&sources)
{
    if (sources.size() != 1)
        return SortedRunMerger::merge(sources);
    Records merged = std::move(sources.front().records);
    for (size_t i = 0; i < merged.size(); ++i)
        merged[i].line = qint32(i);
    return merged;
}
