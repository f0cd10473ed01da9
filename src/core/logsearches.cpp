#include "logsearches.h"

#include "indexedfinder.h"
#include "matchcount.h"
#include "openlogregistry.h"
#include "paralleltextfinder.h"
#include "recordclipboard.h"
#include "textfind.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>

namespace {

// A finder over the search texts of records held in memory.
struct TextStoreFinder
{
    ParallelTextFinder finder;
    const SearchTextStore &texts;

    [[nodiscard]] qsizetype findFirst(
        const std::vector<int> &rows, qsizetype begin, qsizetype end) const
    {
        return finder.findFirst(texts, rows, begin, end);
    }
    [[nodiscard]] qsizetype findLast(
        const std::vector<int> &rows, qsizetype begin, qsizetype end) const
    {
        return finder.findLast(texts, rows, begin, end);
    }
};

// Runs search(finder, rows) with a finder of str over the log's visible rows; -1 when the log
// has no search texts.
template<typename Search>
int searchVisibleRows(const OpenLogEntry &log, const QString &str, const Search &search)
{
    if (const std::shared_ptr<const RecordIndex> &index = log.model->recordIndex())
        return int(search(IndexedFinder(*index, str.toLower()), log.filter->acceptedSourceRows()));
    const SearchTextStore *texts = log.model->fetchSearchTexts();
    if (!texts || texts->size() != log.model->allRecords().size())
        return -1;
    return int(search(TextStoreFinder {ParallelTextFinder(str.toLower()), *texts},
        log.filter->acceptedSourceRows()));
}

// The next row from startsAt on whose text the finder finds, wrapping around once; -1 when
// none does.
struct NextRow
{
    int startsAt;

    template<typename Finder>
    qsizetype operator()(const Finder &finder, const std::vector<int> &rows) const
    {
        const auto count = qsizetype(rows.size());
        // Outside the list the search starts at the nearer end: from the top, or (second pass
        // only) from the top up to the last row.
        const qsizetype start = std::clamp(qsizetype(startsAt), qsizetype(0), count);
        const qsizetype below = finder.findFirst(rows, start, count);
        return below >= 0 ? below : finder.findFirst(rows, 0, start);
    }
};

// The mirror of NextRow: from startsAt down to row 0, then from the last row down.
struct PreviousRow
{
    int startsAt;

    template<typename Finder>
    qsizetype operator()(const Finder &finder, const std::vector<int> &rows) const
    {
        const auto count = qsizetype(rows.size());
        const qsizetype end = std::clamp(qsizetype(startsAt) + 1, qsizetype(0), count);
        const qsizetype above = finder.findLast(rows, 0, end);
        return above >= 0 ? above : finder.findLast(rows, end, count);
    }
};

// The failure that a text search of the log leaves it with: its own, or else that the log's
// search texts could not be built.
Failure searchFailureOf(const OpenLogEntry &log, Failure failure)
{
    return failure != Failure::none ? failure : log.model->searchTextsFailure();
}

} // namespace

LogSearches::LogSearches(OpenLogRegistry &logs, RecordClipboard &clipboard)
    : logs(logs)
    , clipboard(clipboard)
{ }

int LogSearches::findNext(
    const QString &folder, const QString &name, int startsAt, const QString &str) const
{
    return searchText(folder, name, str, NextRow {startsAt});
}

int LogSearches::findPrevious(
    const QString &folder, const QString &name, int startsAt, const QString &str) const
{
    return searchText(folder, name, str, PreviousRow {startsAt});
}

template<typename Search>
int LogSearches::searchText(
    const QString &folder, const QString &name, const QString &str, Search search) const
{
    const OpenLogEntry *log = logs.searchableEntry(folder, name);
    if (!log)
        return -1;
    int row = -1;
    const Failure failure = failureOf([&] { row = searchVisibleRows(*log, str, search); });
    log->searchFailure = searchFailureOf(*log, failure);
    logs.find(folder, name)->noteSearched();
    return row;
}

TextFind *LogSearches::findNextAsync(
    const QString &folder, const QString &name, int startsAt, const QString &str)
{
    return startFind(folder, name, str, NextRow {startsAt});
}

TextFind *LogSearches::findPreviousAsync(
    const QString &folder, const QString &name, int startsAt, const QString &str)
{
    return startFind(folder, name, str, PreviousRow {startsAt});
}

// An indexed log is searched on a worker, in a copy of its rows and a share of its index, so
// that it may be filtered, reloaded or closed meanwhile; the search texts of records held in
// memory are searched here. Either way the row comes through the event loop, and the log
// notes how the search went, as the synchronous searches do.
template<typename Search>
TextFind *LogSearches::startFind(
    const QString &folder, const QString &name, const QString &str, Search search)
{
    OpenLog *open = logs.find(folder, name);
    const OpenLogEntry *log = logs.findEntry(folder, name);
    if (!open || !log)
        return nullptr;
    auto *find = new TextFind;
    QObject::connect(find, &TextFind::finished, open, [this, open, folder, name, find] {
        if (const OpenLogEntry *searched = logs.findEntry(folder, name))
            searched->searchFailure = searchFailureOf(*searched, find->failure());
        open->noteSearched();
    });
    const auto deliver = [receiver = QPointer<TextFind>(find)](int row, Failure failure) {
        ResultWorkers::deliver(
            receiver, [row, failure](TextFind &found) { found.finish(row, failure); });
    };
    std::shared_ptr<const RecordIndex> index = log->model->recordIndex();
    if (!index) {
        int row = -1;
        const Failure failure = failureOf([&] {
            log = logs.searchableEntry(folder, name);
            row = searchVisibleRows(*log, str, search);
        });
        deliver(row, failure);
        return find;
    }
    // One pass at a time: each reads every record, and those of a huge message take several
    // times its size while they are matched. A find let go before its turn is not searched.
    lastFind = workers.start(
        [index = std::move(index), rows = log->filter->acceptedSourceRows(), needle = str.toLower(),
            search, deliver, before = lastFind, wanted = find->wanted()] {
            if (before.valid())
                before.wait();
            if (!wanted->load())
                return;
            int row = -1;
            const Failure failure
                = failureOf([&] { row = int(search(IndexedFinder(*index, needle), rows)); });
            deliver(row, failure);
        });
    return find;
}

int LogSearches::copyRecords(const QString &folder, const QString &name, int firstRow, int lastRow)
{
    const OpenLogEntry *log = logs.findEntry(folder, name);
    return log ? clipboard.copyRecords(*log, firstRow, lastRow) : 0;
}

bool LogSearches::copyMessage(const QString &folder, const QString &name, int row)
{
    const OpenLogEntry *log = logs.findEntry(folder, name);
    return log && clipboard.copyMessage(*log, row);
}

QVariantMap LogSearches::recordAt(const QString &folder, const QString &name, int row) const
{
    const OpenLogEntry *log = logs.findEntry(folder, name);
    const std::optional<QarnLogParser::QarnLog> record
        = log ? log->visibleRecord(row) : std::nullopt;
    return record ? fieldsOf(*record) : QVariantMap();
}

// Four bytes hold a character in every encoding a log may have; the header line takes a few
// hundred more.
QVariantMap LogSearches::recordPreviewAt(
    const QString &folder, const QString &name, int row, int maxCharacters) const
{
    const OpenLogEntry *log = logs.findEntry(folder, name);
    const qint64 maxBytes = 4 * qint64(std::max(0, maxCharacters)) + (64 << 10);
    const std::optional<QarnLogParser::QarnLog> record
        = log ? log->visibleRecordStart(row, maxBytes) : std::nullopt;
    if (!record)
        return {};
    QVariantMap fields = fieldsOf(*record);
    const qint64 bytes = log->visibleRecordBytes(row);
    fields.insert(QStringLiteral("messageRole"), record->message.left(maxCharacters));
    fields.insert(
        QStringLiteral("messageCut"), record->message.size() > maxCharacters || bytes > maxBytes);
    fields.insert(QStringLiteral("recordBytes"), bytes);
    return fields;
}

QVariantMap LogSearches::fieldsOf(const QarnLogParser::QarnLog &record)
{
    return {{QStringLiteral("dateTimeRole"), record.dateTime},
        {QStringLiteral("logTypeRole"), record.logType},
        {QStringLiteral("threadIDRole"), record.threadID},
        {QStringLiteral("moduleNameRole"), record.moduleName},
        {QStringLiteral("cppFileNameRole"), record.cppFileName},
        {QStringLiteral("cppLineRole"), record.cppLine},
        {QStringLiteral("messageRole"), record.message}};
}

// The records are sorted by date text and the visible rows keep their order, so the texts
// along the rows never decrease and the first one after str is found by halving.
int LogSearches::findDate(const QString &folder, const QString &name, const QString &str) const
{
    const OpenLogEntry *log = logs.findEntry(folder, name);
    if (!log)
        return -1;
    const LogModel &model = *log->model;
    const auto &rows = log->filter->acceptedSourceRows();
    const auto after = std::partition_point(
        rows.begin(), rows.end(), [&](int row) { return !(str < model.dateTimeAt(size_t(row))); });
    return after == rows.end() ? -1 : int(after - rows.begin());
}

namespace {

// Whether typed text could begin a date written as sample is: digits where it has digits, and
// its other characters as they are.
bool fitsDateForm(const QString &typed, const QString &sample)
{
    const qsizetype length = std::min(typed.size(), sample.size());
    for (qsizetype i = 0; i < length; ++i) {
        const bool digits = typed[i].isDigit() && sample[i].isDigit();
        if (!digits && typed[i] != sample[i])
            return false;
    }
    return true;
}

} // namespace

QString LogSearches::unmatchableDateForm(
    const QString &folder, const QString &name, const QString &str) const
{
    const OpenLogEntry *log = logs.findEntry(folder, name);
    if (!log || log->filter->acceptedSourceRows().empty())
        return {};
    const QString sample
        = log->model->dateTimeAt(size_t(log->filter->acceptedSourceRows().front()));
    return fitsDateForm(str, sample) ? QString() : sample;
}

MatchCount *LogSearches::countMatches(
    const QString &folder, const QString &name, const QString &str)
{
    const OpenLogEntry *log = logs.findEntry(folder, name);
    return log ? MatchCount::start(*log, str, workers) : nullptr;
}

// A record's number is its row in the record model, and the visible rows keep that order.
int LogSearches::getIndex(const QString &folder, const QString &name, int lineNumber) const
{
    const OpenLogEntry *log = logs.findEntry(folder, name);
    if (!log)
        return -1;
    const auto &rows = log->filter->acceptedSourceRows();
    const auto found = std::lower_bound(rows.begin(), rows.end(), lineNumber);
    if (found == rows.end() || *found != lineNumber)
        return -1;
    return int(found - rows.begin());
}

QString LogSearches::recordNotice(const QString &folder, const QString &name, int row) const
{
    const OpenLogEntry *log = logs.findEntry(folder, name);
    const std::shared_ptr<const RecordIndex> index = log ? log->model->recordIndex() : nullptr;
    if (!index || row < 0 || size_t(row) >= log->filter->acceptedSourceRows().size())
        return {};
    const auto record = size_t(log->filter->acceptedSourceRows()[size_t(row)]);
    for (const RecordIndex::UnclosedBlock &block : index->unclosedBlocks()) {
        if (block.row == record) {
            return QCoreApplication::translate("KestruneCore",
                "This record's message block was never closed; it took in %1 lines, the header "
                "lines of later records among them.")
                .arg(QLocale(QLocale::English, QLocale::UnitedStates).toString(block.lines));
        }
    }
    return {};
}
