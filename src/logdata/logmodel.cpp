#include "logmodel.h"

#include "parallelfor.h"

#include <array>

namespace {

constexpr qsizetype separatorLength = 3;

QChar *appendChars(QChar *out, const QString &text)
{
    return std::copy(text.cbegin(), text.cend(), out);
}

// Copies the text lower-cased as ASCII, in one branch-free pass; false when the text holds
// any other character, whose lower case the caller must then take from Unicode.
bool appendAsciiLower(QChar *&out, const QString &text)
{
    const char16_t *in = reinterpret_cast<const char16_t *>(text.constData());
    char16_t *to = reinterpret_cast<char16_t *>(out);
    const qsizetype size = text.size();
    char16_t bits = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t u = in[i];
        bits |= u;
        to[i] = char16_t(u + (char16_t(u - u'A') < 26 ? 0x20 : 0));
    }
    out += size;
    return bits < 0x80;
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
// Nearly every field is ASCII, so each is lower-cased as ASCII while copied, and only a text
// holding other characters is built again with Unicode's lower case.
QString LogModel::searchTextOf(const QarnLogParser::QarnLog &log) const
{
    const std::array<const QString *, 5> fields {
        &log.logType, &log.threadID, &log.moduleName, &log.cppFileName, &log.message};
    qsizetype length = log.dateTime.size() + separatorLength * qsizetype(fields.size());
    for (const QString *field : fields)
        length += field->size();
    QString text(length, Qt::Uninitialized);
    QChar *out = appendChars(text.data(), log.dateTime);
    bool ascii = true;
    for (const QString *field : fields) {
        out = appendSeparator(out);
        ascii &= appendAsciiLower(out, *field);
    }
    if (ascii)
        return text;
    std::array<QString, 5> lowered;
    length = log.dateTime.size() + separatorLength * qsizetype(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        lowered[i] = fields[i]->toLower();
        length += lowered[i].size();
    }
    text = QString(length, Qt::Uninitialized);
    out = appendChars(text.data(), log.dateTime);
    for (const QString &field : lowered)
        out = appendChars(appendSeparator(out), field);
    return text;
}
