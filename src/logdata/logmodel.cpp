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
    searchTexts = SearchTextStore();
    searchTextsFailed = Failure::none;
    pendingSearchTexts = runInBackground([this] { return buildSearchTexts(); });
    endResetModel();
}

int LogModel::rowCount(const QModelIndex &) const
{
    return static_cast<int>(records.size());
}

QVariant LogModel::data(const QModelIndex &index, int role) const
{
    if (index.row() < 0 || static_cast<size_t>(index.row()) >= records.size())
        return {};
    QVariant value;
    (void)failureOf([&] { value = field(static_cast<size_t>(index.row()), role); });
    return value;
}

QVariant LogModel::field(size_t row, int role) const
{
    const QarnLogParser::QarnLog &log = records[row];
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
    case searchTextRole: {
        const SearchTextStore *texts = fetchSearchTexts();
        return texts ? QVariant(texts->text(row)) : QVariant();
    }
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
