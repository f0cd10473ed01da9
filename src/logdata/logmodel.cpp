#include "logmodel.h"

#include "parallelfor.h"

#include <array>

namespace {

constexpr qsizetype separatorLength = 3;

bool isAscii(const QString &text)
{
    char16_t bits = 0;
    for (const QChar c : text)
        bits |= c.unicode();
    return bits < 0x80;
}

QChar *appendChars(QChar *out, const QString &text)
{
    return std::copy(text.cbegin(), text.cend(), out);
}

QChar *appendAsciiLower(QChar *out, const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        *out++ = QChar(u >= 'A' && u <= 'Z' ? char16_t(u + ('a' - 'A')) : u);
    }
    return out;
}

QChar *appendSeparator(QChar *out)
{
    for (qsizetype i = 0; i < separatorLength; ++i)
        *out++ = QLatin1Char('z');
    return out;
}

} // namespace

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
    std::vector<QString>().swap(searchTexts);
    searchTextsFailed = false;
    pendingSearchTexts = std::async(std::launch::async, [this] { return buildSearchTexts(); });
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
    if (!records.empty() && pendingSearchTexts.valid()) {
        try {
            searchTexts = pendingSearchTexts.get();
        } catch (...) {
            // A failed job (exhausted memory, say) must not take the program down; this
            // log then simply matches no text.
            searchTextsFailed = true;
        }
    }
    return searchTextsFailed ? nullptr : &searchTexts;
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

// Runs on the job's thread and, for large logs, on helper threads that each fill their own
// part of the result.
std::vector<QString> LogModel::buildSearchTexts() const
{
    std::vector<QString> texts(records.size());
    parallelFor(records.size(), 100'000, [&](size_t begin, size_t end) {
        for (size_t row = begin; row < end; ++row)
            texts[row] = searchTextOf(records[row]);
    });
    return texts;
}

// Written straight into one string of the exact size: this runs for every record of a log.
QString LogModel::searchTextOf(const QarnLogParser::QarnLog &log) const
{
    const std::array<const QString *, 5> fields {
        &log.logType, &log.threadID, &log.moduleName, &log.cppFileName, &log.message};
    std::array<QString, 5> lowered;
    std::array<bool, 5> ascii {};
    qsizetype length = log.dateTime.size() + separatorLength * qsizetype(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        ascii[i] = isAscii(*fields[i]);
        if (!ascii[i])
            lowered[i] = fields[i]->toLower();
        length += ascii[i] ? fields[i]->size() : lowered[i].size();
    }
    QString text(length, Qt::Uninitialized);
    QChar *out = appendChars(text.data(), log.dateTime);
    for (size_t i = 0; i < fields.size(); ++i) {
        out = appendSeparator(out);
        out = ascii[i] ? appendAsciiLower(out, *fields[i]) : appendChars(out, lowered[i]);
    }
    return text;
}
