#include "logmodel.h"

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
    pendingSearchTexts = std::async(std::launch::async, [this] { return buildSearchTexts(); });
    searchTexts.clear();
    searchTexts.reserve(records.size());
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
    const QarnLogParser::QarnLog &log = records[static_cast<size_t>(index.row())];
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
        const std::vector<QString> *texts = fetchSearchTexts();
        return texts ? QVariant((*texts)[static_cast<size_t>(index.row())]) : QVariant();
    }
    default:
        return {};
    }
}

const std::vector<QString> *LogModel::fetchSearchTexts() const
{
    if (searchTexts.empty() && pendingSearchTexts.valid())
        searchTexts = pendingSearchTexts.get();
    return &searchTexts;
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

std::vector<QString> LogModel::buildSearchTexts() const
{
    std::vector<QString> texts;
    texts.reserve(records.size());
    for (const QarnLogParser::QarnLog &log : records)
        texts.push_back(searchTextOf(log));
    return texts;
}

QString LogModel::searchTextOf(const QarnLogParser::QarnLog &log) const
{
    const QLatin1String separator("zzz");
    return log.dateTime + separator + log.logType.toLower() + separator + log.threadID.toLower()
        + separator + log.moduleName.toLower() + separator + log.cppFileName.toLower() + separator
        + log.message.toLower();
}
