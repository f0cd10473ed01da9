#include "datecolumn.h"

#include <QMutex>

#include <algorithm>

namespace {

// Eighteen decimal digits still fit below the top bit of a key.
constexpr qsizetype maxDigits = 18;

char16_t unitAt(QLatin1StringView text, qsizetype i)
{
    return uchar(text.data()[i]);
}

char16_t unitAt(QStringView text, qsizetype i)
{
    return text.utf16()[i];
}

// Files of one log nearly always share a shape: held in one string, they tell so at once when
// their dates are compared.
QString sharedShape(const QString &shape)
{
    static QMutex mutex;
    static QString last;
    const QMutexLocker lock(&mutex);
    if (shape != last)
        last = shape;
    return last;
}

} // namespace

// Counts first: in a file without a shape every date is tried, and then most of them fail.
QString DateColumn::shapeOf(const QString &date)
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

void DateColumn::append(QStringView date)
{
    appendDate(date);
}

void DateColumn::append(QLatin1StringView date)
{
    appendDate(date);
}

void DateColumn::append(const DateColumn &other)
{
    if (other.shape != shape && !shape.isEmpty()) {
        for (size_t row = 0; row < other.size(); ++row)
            append(QStringView(other.text(row)));
        return;
    }
    shape = other.shape;
    if (other.size() > 0) {
        noteOrderAt(size(), other.keys[0]);
        if (firstKeyOutOfOrder == noRow && other.firstKeyOutOfOrder != noRow)
            firstKeyOutOfOrder = size() + other.firstKeyOutOfOrder;
    }
    if (!other.irregularTexts->empty()) {
        IrregularTexts &texts = writableIrregularTexts();
        for (const auto &[row, date] : *other.irregularTexts)
            texts.emplace(keys.size() + row, date);
    }
    keys.append(other.keys);
}

void DateColumn::truncate(size_t count)
{
    if (count >= keys.size())
        return;
    keys.truncate(count);
    if (firstKeyOutOfOrder >= count)
        firstKeyOutOfOrder = noRow;
    const bool dropsText = std::any_of(irregularTexts->begin(), irregularTexts->end(),
        [count](const auto &entry) { return entry.first >= count; });
    if (!dropsText)
        return;
    IrregularTexts &texts = writableIrregularTexts();
    for (auto entry = texts.begin(); entry != texts.end();)
        entry = entry->first >= count ? texts.erase(entry) : std::next(entry);
}

DateColumn::IrregularTexts &DateColumn::writableIrregularTexts()
{
    if (irregularTexts.use_count() > 1)
        irregularTexts = std::make_shared<IrregularTexts>(*irregularTexts);
    return *irregularTexts;
}

template<typename View>
void DateColumn::appendDate(View date)
{
    if (shape.isEmpty())
        shape = sharedShape(shapeOf(date.toString()));
    const quint64 key = keyOf(date);
    if (key == irregular)
        writableIrregularTexts().emplace(keys.size(), date.toString());
    noteOrderAt(keys.size(), key);
    keys.push_back(key);
}

// The key that is to take row, compared with the one above it.
void DateColumn::noteOrderAt(size_t row, quint64 key)
{
    if (firstKeyOutOfOrder == noRow && row > 0 && key < keys[row - 1])
        firstKeyOutOfOrder = row;
}

bool DateColumn::inOrder() const
{
    if (allRegular())
        return firstKeyOutOfOrder == noRow;
    for (size_t row = 1; row < size(); ++row) {
        if (earlier(row, *this, row - 1))
            return false;
    }
    return true;
}

template<typename View>
quint64 DateColumn::keyOf(View date) const
{
    if (shape.isEmpty() || date.size() != shape.size())
        return irregular;
    const auto *pattern = reinterpret_cast<const char16_t *>(shape.constData());
    quint64 key = 0;
    for (qsizetype i = 0; i < date.size(); ++i) {
        const char16_t unit = unitAt(date, i);
        if (pattern[i] == u'0') {
            if (!isDigit(unit))
                return irregular;
            key = key * 10 + (unit - u'0');
        } else if (unit != pattern[i]) {
            return irregular;
        }
    }
    return key;
}

QString DateColumn::text(size_t row) const
{
    quint64 key = keys[row];
    if (key == irregular)
        return irregularTexts->at(row);
    QString date = shape;
    for (qsizetype i = date.size() - 1; i >= 0; --i) {
        if (date[i] == u'0') {
            date[i] = QChar(char16_t(u'0' + key % 10));
            key /= 10;
        }
    }
    return date;
}

bool DateColumn::holds(size_t row, QLatin1StringView date) const
{
    const quint64 key = keys[row];
    if (key == irregular)
        return irregularTexts->at(row) == date;
    return keyOf(date) == key;
}

bool DateColumn::earlier(size_t a, const DateColumn &other, size_t b) const
{
    const quint64 aKey = keys[a];
    const quint64 bKey = other.keys[b];
    if (aKey != irregular && bKey != irregular && (&other == this || sharesShapeWith(other)))
        return aKey < bKey;
    return text(a) < other.text(b);
}

size_t DateColumn::memoryBytes() const
{
    size_t bytes = keys.memoryBytes();
    for (const auto &entry : *irregularTexts)
        bytes += 48 + size_t(entry.second.size()) * 2;
    return bytes;
}
