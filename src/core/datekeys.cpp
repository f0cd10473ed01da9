#include "datekeys.h"

#include <algorithm>

namespace {

using QarnLog = QarnLogParser::QarnLog;

// Eighteen decimal digits still fit below the top bit of a key.
constexpr qsizetype maxDigits = 18;

bool isDigit(char16_t unit)
{
    return char16_t(unit - u'0') <= 9;
}

// The date with each digit replaced by '0', or empty when it has no digits or too many. Counts
// first: in a run without a shape every date is tried, and then most of them fail.
QString shapeOf(const QString &date)
{
    const auto digits = std::count_if(
        date.begin(), date.end(), [](QChar unit) { return isDigit(unit.unicode()); });
    if (digits == 0 || digits > maxDigits)
        return {};
    QString shape = date;
    for (QChar &unit : shape) {
        if (isDigit(unit.unicode()))
            unit = u'0';
    }
    return shape;
}

} // namespace

DateKeys::DateKeys(const std::vector<QarnLog> &records)
{
    keys.reserve(records.size());
    for (const QarnLog &record : records) {
        if (shape.isEmpty())
            shape = shapeOf(record.dateTime);
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
            if (!isDigit(unit))
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
