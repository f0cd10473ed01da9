#include "datekeys.h"

#include "datecolumn.h"

#include <algorithm>

namespace {

using QarnLog = QarnLogParser::QarnLog;

} // namespace

DateKeys::DateKeys(const std::vector<QarnLog> &records)
{
    keys.reserve(records.size());
    for (const QarnLog &record : records) {
        if (shape.isEmpty())
            shape = DateColumn::shapeOf(record.dateTime);
        keys.push_back(keyOf(record.dateTime));
    }
}

quint64 DateKeys::keyOf(const QString &date) const
{
    if (shape.isEmpty() || date.size() != shape.size())
        return none;
    const QChar *units = date.constData();
    const QChar *expected = shape.constData();
    quint64 key = 0;
    for (qsizetype i = 0; i < date.size(); ++i) {
        const char16_t unit = units[i].unicode();
        if (expected[i] == u'0') {
            if (!DateColumn::isDigit(unit))
                return none;
            key = key * 10 + (unit - u'0');
        } else if (unit != expected[i].unicode()) {
            return none;
        }
    }
    return key;
}

bool DateKeys::inOrder(const std::vector<QarnLog> &records) const
{
    for (size_t i = 1; i < records.size(); ++i) {
        if (earlier(records[i], keys[i], records[i - 1], keys[i - 1]))
            return false;
    }
    return true;
}

void DateKeys::adoptShapeOf(const DateKeys &other)
{
    if (shape == other.shape)
        return;
    keys.assign(keys.size(), none);
    shape = other.shape;
}
