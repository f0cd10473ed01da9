#include "logmodel.h"

#include "parallelfor.h"

#include <chrono>

LogModel::LogModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

LogModel::~LogModel()
{
    if (pendingSearchTexts.valid())
        pendingSearchTexts.wait();
}

void LogModel::setRecords(const std::vector<QarnLogParser::QarnLog> &newRecords)
{
    setRecords(std::vector<QarnLogParser::QarnLog>(newRecords));
}

void LogModel::setRecords(std::vector<QarnLogParser::QarnLog> &&newRecords)
{
    beginResetModel();
    // The previous job reads the records: let it finish before they are replaced.
    if (pendingSearchTexts.valid())
        pendingSearchTexts.wait();
    records = std::move(newRecords);
    indexed.reset();
    clearReadRecords();
    searchTexts = SearchTextStore();
    searchTextsFailed = Failure::none;
    pendingSearchTexts = runInBackground([this] { return buildSearchTexts(); });
    endResetModel();
}

void LogModel::setIndex(std::shared_ptr<const RecordIndex> newIndex)
{
    beginResetModel();
    if (pendingSearchTexts.valid())
        pendingSearchTexts.wait();
    pendingSearchTexts = {};
    std::vector<QarnLogParser::QarnLog>().swap(records);
    searchTexts = SearchTextStore();
    searchTextsFailed = Failure::none;
    indexed = std::move(newIndex);
    clearReadRecords();
    endResetModel();
}

void LogModel::clearReadRecords()
{
    const QMutexLocker locker(&readRecordsLock);
    readRecords.clear();
}

size_t LogModel::recordCount() const
{
    return indexed ? indexed->size() : records.size();
}

std::optional<QarnLogParser::QarnLog> LogModel::recordAt(size_t row) const
{
    if (row >= recordCount())
        return std::nullopt;
    if (!indexed)
        return records[row];
    if (indexed->byteSize(row) > headBytes)
        return indexed->record(row);
    return cachedRecord(row);
}

std::optional<QarnLogParser::QarnLog> LogModel::recordHeadAt(size_t row) const
{
    if (row >= recordCount() || !indexed)
        return recordAt(row);
    return cachedRecord(row);
}

std::optional<QarnLogParser::QarnLog> LogModel::recordStart(size_t row, qint64 maxBytes) const
{
    if (row >= recordCount() || recordBytes(row) <= maxBytes)
        return recordAt(row);
    return indexed->record(row, maxBytes);
}

qint64 LogModel::recordBytes(size_t row) const
{
    return indexed && row < recordCount() ? indexed->byteSize(row) : 0;
}

// The cache holds whole records up to headBytes and the heads of longer ones.
std::optional<QarnLogParser::QarnLog> LogModel::cachedRecord(size_t row) const
{
    {
        const QMutexLocker locker(&readRecordsLock);
        if (const QarnLogParser::QarnLog *known = readRecords.object(row))
            return *known;
    }
    std::optional<QarnLogParser::QarnLog> record = indexed->record(row, headBytes);
    if (record) {
        const QMutexLocker locker(&readRecordsLock);
        readRecords.insert(row, new QarnLogParser::QarnLog(*record));
    }
    return record;
}

QString LogModel::dateTimeAt(size_t row) const
{
    return indexed ? indexed->dateTime(row) : records[row].dateTime;
}

// White space runs shrink to one space, so a start four times as long as the preview mostly
// fills it.
QString LogModel::messagePreview(size_t row, qsizetype maxChars) const
{
    const std::optional<QarnLogParser::QarnLog> record = recordHeadAt(row);
    if (!record)
        return {};
    return QStringView(record->message)
        .first(std::min(record->message.size(), 4 * maxChars))
        .toString()
        .simplified()
        .left(maxChars);
}

int LogModel::rowCount(const QModelIndex &) const
{
    return static_cast<int>(recordCount());
}

QVariant LogModel::data(const QModelIndex &index, int role) const
{
    if (index.row() < 0 || static_cast<size_t>(index.row()) >= recordCount())
        return {};
    QVariant value;
    (void)failureOf([&] {
        const auto row = static_cast<size_t>(index.row());
        value = indexed ? indexedField(row, role) : field(row, role);
    });
    return value;
}

// A record whose file changed since it was indexed shows as empty fields, never as other text.
QVariant LogModel::indexedField(size_t row, int role) const
{
    if (role == lineRole)
        return int(row);
    if (role < dateTimeRole || role > searchTextRole)
        return {};
    const bool whole = role == messageRole || role == searchTextRole;
    const std::optional<QarnLogParser::QarnLog> record = whole ? recordAt(row) : recordHeadAt(row);
    if (!record)
        return role == searchTextRole ? QVariant() : QVariant(QString());
    if (role == searchTextRole)
        return SearchTextStore::searchTextOf(*record);
    return fieldOf(*record, role);
}

QVariant LogModel::field(size_t row, int role) const
{
    if (role == searchTextRole) {
        const SearchTextStore *texts = fetchSearchTexts();
        return texts ? QVariant(texts->text(row)) : QVariant();
    }
    return fieldOf(records[row], role);
}

QVariant LogModel::fieldOf(const QarnLogParser::QarnLog &log, int role)
{
    switch (role) {
    case dateTimeRole:
        return log.dateTime;
    case logTypeRole:
        return log.logType;
    case threadIDRole:
        return log.threadID;
    case moduleNameRole:
        return log.moduleName;
    case cppFileNameRole:
        return log.cppFileName;
    case cppLineRole:
        return log.cppLine;
    case messageRole:
        return log.message.simplified();
    case lineRole:
        return log.line;
    default:
        return {};
    }
}

const SearchTextStore *LogModel::fetchSearchTexts() const
{
    // A failed job (exhausted memory, say) must not take the program down.
    if (!records.empty() && pendingSearchTexts.valid())
        searchTextsFailed = failureOf([this] { searchTexts = pendingSearchTexts.get(); });
    return searchTextsFailed == Failure::none ? &searchTexts : nullptr;
}

bool LogModel::searchTextsReady() const
{
    return !pendingSearchTexts.valid()
        || pendingSearchTexts.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

QHash<int, QByteArray> LogModel::roleNames() const
{
    return {
        {dateTimeRole, "dateTimeRole"},
        {logTypeRole, "logTypeRole"},
        {threadIDRole, "threadIDRole"},
        {moduleNameRole, "moduleNameRole"},
        {cppFileNameRole, "cppFileNameRole"},
        {cppLineRole, "cppLineRole"},
        {messageRole, "messageRole"},
        {lineRole, "lineRole"},
    };
}

// Runs on the job's thread and, for large logs, on helper threads as well.
SearchTextStore LogModel::buildSearchTexts() const
{
    return SearchTextStore::build(records);
}

QString LogModel::searchTextOf(const QarnLogParser::QarnLog &log) const
{
    return SearchTextStore::searchTextOf(log);
}
