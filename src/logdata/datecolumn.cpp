#include "datecolumn.h"

#include <QMutex>

#include <algorithm>
#include <array>
#include <atomic>

namespace {

// Eighteen decimal digits still fit below a key's shape bits.
constexpr qsizetype maxDigits = 18;

char16_t unitAt(QLatin1StringView text, qsizetype i)
{
    return uchar(text.data()[i]);
}

char16_t unitAt(QStringView text, qsizetype i)
{
    return text.utf16()[i];
}

// Files of one log nearly always share their shapes: held in one string each, they tell so at
// once when their dates are compared. The last few shapes seen are kept for that.
QString sharedShape(const QString &shape)
{
    constexpr size_t keptShapes = 64;
    static QMutex mutex;
    static std::vector<QString> kept;
    const QMutexLocker lock(&mutex);
    const auto found = std::find(kept.begin(), kept.end(), shape);
    if (found != kept.end())
        return *found;
    if (kept.size() == keptShapes)
        kept.erase(kept.begin());
    kept.push_back(shape);
    return shape;
}

// One counter for dates read as bytes and as text alike.
quint64 newShapeSerial()
{
    static std::atomic<quint64> serials {0};
    return ++serials;
}

template<typename T>
int threeWay(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

bool sameShape(const QString &a, const QString &b)
{
    return a.isSharedWith(b) || a == b;
}

quint64 powerOfTen(int exponent)
{
    static const auto powers = [] {
        std::array<quint64, maxDigits + 1> made {};
        made[0] = 1;
        for (size_t i = 1; i < made.size(); ++i)
            made[i] = made[i - 1] * 10;
        return made;
    }();
    return powers[size_t(exponent)];
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

// Keys are taken over as they are where the other column's shapes stand at the same places
// here, as they do between the parts of one file; otherwise each takes its shape's place here.
void DateColumn::append(const DateColumn &other)
{
    const std::vector<quint64> shapeKeys = shapeKeysFor(other);
    if (shapeKeys.size() != other.shapes.size()) {
        for (size_t row = 0; row < other.size(); ++row)
            append(QStringView(other.text(row)));
        return;
    }
    if (other.size() > 0)
        noteOrderAt(size(), other.keys[0]);
    if (firstKeyOutOfOrder == noRow && other.firstKeyOutOfOrder != noRow)
        firstKeyOutOfOrder = size() + other.firstKeyOutOfOrder;
    if (!other.irregularTexts->empty()) {
        IrregularTexts &texts = writableIrregularTexts();
        for (const auto &[row, date] : *other.irregularTexts)
            texts.emplace(keys.size() + row, date);
    }
    bool samePlaces = true;
    for (size_t shape = 0; shape < shapeKeys.size(); ++shape)
        samePlaces = samePlaces && shapeKeys[shape] == quint64(shape) << digitBits;
    if (samePlaces) {
        keys.append(other.keys);
        return;
    }
    for (size_t row = 0; row < other.size(); ++row) {
        const quint64 key = other.keys[row];
        keys.push_back(key == irregular ? key : shapeKeys[key >> digitBits] | (key & digitMask));
    }
}

// Nothing is added unless all of them fit, so that the dates appended as text instead do not
// find the slots taken by shapes they may not have.
std::vector<quint64> DateColumn::shapeKeysFor(const DateColumn &other)
{
    std::vector<Shape> joined = shapes;
    std::vector<quint64> shapeKeys;
    for (const Shape &shape : other.shapes) {
        const auto place
            = size_t(std::find_if(joined.begin(), joined.end(), [&](const Shape &known) {
                  return sameShape(known.text, shape.text);
              }) - joined.begin());
        if (place == joined.size() && joined.size() == maxShapes)
            return {};
        if (place == joined.size())
            joined.push_back(shape);
        shapeKeys.push_back(quint64(place) << digitBits);
    }
    shapes = std::move(joined);
    return shapeKeys;
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
    const quint64 key = keyOf(date);
    if (key == irregular)
        writableIrregularTexts().emplace(keys.size(), date.toString());
    noteOrderAt(keys.size(), key);
    keys.push_back(key);
}

// The shape of the date before is tried first, then the others; a date of none of them adds
// its own while there is room.
template<typename View>
quint64 DateColumn::keyOf(View date)
{
    for (size_t tried = 0; tried < shapes.size(); ++tried) {
        const size_t shape = tried == 0 ? lastShape : (tried == lastShape ? 0 : tried);
        const quint64 digits = digitsOf(date, shapes[shape].text);
        if (digits != irregular) {
            lastShape = shape;
            return quint64(shape) << digitBits | digits;
        }
    }
    if (shapes.size() == maxShapes)
        return irregular;
    const QString shape = shapeOf(date.toString());
    if (shape.isEmpty())
        return irregular;
    shapes.push_back(
        {sharedShape(shape), int(std::count(shape.begin(), shape.end(), u'0')), newShapeSerial()});
    lastShape = shapes.size() - 1;
    return quint64(lastShape) << digitBits | digitsOf(date, shape);
}

template<typename View>
quint64 DateColumn::digitsOf(View date, const QString &shape)
{
    if (date.size() != shape.size())
        return irregular;
    const auto *pattern = reinterpret_cast<const char16_t *>(shape.constData());
    quint64 digits = 0;
    for (qsizetype i = 0; i < date.size(); ++i) {
        const char16_t unit = unitAt(date, i);
        if (pattern[i] == u'0') {
            if (!isDigit(unit))
                return irregular;
            digits = digits * 10 + (unit - u'0');
        } else if (unit != pattern[i]) {
            return irregular;
        }
    }
    return digits;
}

// The key that is to take row, compared with the one above it.
void DateColumn::noteOrderAt(size_t row, quint64 key)
{
    if (firstKeyOutOfOrder == noRow && row > 0 && key < keys[row - 1])
        firstKeyOutOfOrder = row;
}

bool DateColumn::inOrder() const
{
    if (allRegular() && shapes.size() <= 1)
        return firstKeyOutOfOrder == noRow;
    for (size_t row = 1; row < size(); ++row) {
        if (earlier(row, *this, row - 1))
            return false;
    }
    return true;
}

QString DateColumn::text(size_t row) const
{
    const quint64 key = keys[row];
    if (key == irregular)
        return irregularTexts->at(row);
    QString date = shapeAt(key).text;
    quint64 digits = key & digitMask;
    for (qsizetype i = date.size() - 1; i >= 0; --i) {
        if (date[i] == u'0') {
            date[i] = QChar(char16_t(u'0' + digits % 10));
            digits /= 10;
        }
    }
    return date;
}

bool DateColumn::holds(size_t row, QLatin1StringView date) const
{
    const quint64 key = keys[row];
    if (key == irregular)
        return irregularTexts->at(row) == date;
    return digitsOf(date, shapeAt(key).text) == (key & digitMask);
}

int DateColumn::compareWithKeys(
    size_t a, quint64 aKey, const DateColumn &other, size_t b, quint64 bKey) const
{
    if (aKey == irregular || bKey == irregular)
        return text(a).compare(other.text(b));
    const Shape &aShape = shapeAt(aKey);
    const Shape &bShape = other.shapeAt(bKey);
    if (aShape.text.isSharedWith(bShape.text))
        return threeWay(aKey & digitMask, bKey & digitMask);
    return compareTexts(aShape, aKey & digitMask, bShape, bKey & digitMask);
}

// Up to where two shapes part, their texts hold the same units but for the digits: the digits
// there decide, if they differ. Otherwise the units where the shapes part do, a digit's place
// standing for every digit: no other unit falls between two digits. Equal shapes never part,
// and all their digits decide. A merge compares the same few shapes millions of times, so what
// two shapes tell is kept per thread.
int DateColumn::compareTexts(
    const Shape &aShape, quint64 aDigits, const Shape &bShape, quint64 bDigits)
{
    thread_local std::array<Parting, 256> partings;
    Parting &parting = partings[(aShape.serial * 31 + bShape.serial) % partings.size()];
    if (parting.aSerial != aShape.serial || parting.bSerial != bShape.serial)
        parting = partingOf(aShape, bShape);
    const int leading = threeWay(aDigits / parting.aDivisor, bDigits / parting.bDivisor);
    return leading != 0 ? leading : parting.onTie;
}

DateColumn::Parting DateColumn::partingOf(const Shape &aShape, const Shape &bShape)
{
    const qsizetype common = std::min(aShape.text.size(), bShape.text.size());
    qsizetype at = 0;
    int digitsBefore = 0;
    for (; at < common && aShape.text[at] == bShape.text[at]; ++at)
        digitsBefore += aShape.text[at] == u'0' ? 1 : 0;
    return {aShape.serial, bShape.serial, powerOfTen(aShape.digits - digitsBefore),
        powerOfTen(bShape.digits - digitsBefore),
        at == common ? threeWay(aShape.text.size(), bShape.text.size())
                     : threeWay(aShape.text[at].unicode(), bShape.text[at].unicode())};
}

bool DateColumn::sharesShapeWith(const DateColumn &other) const
{
    return shapes.size() <= 1 && other.shapes.size() <= 1
        && (shapes.empty() || other.shapes.empty()
            || sameShape(shapes.front().text, other.shapes.front().text));
}

// Rows of one shape are put in order by their keys, where they are not in order already, and
// the few shapes are then merged; dates kept as text are ordered by their texts. Two equal
// dates share their shape, so rows of equal dates stay in their order.
std::vector<quint32> DateColumn::rowsInDateOrder() const
{
    std::vector<std::vector<quint32>> groups(shapes.size() + 1);
    for (size_t row = 0; row < size(); ++row) {
        const quint64 key = keys[row];
        groups[key == irregular ? shapes.size() : size_t(key >> digitBits)].push_back(quint32(row));
    }
    for (size_t shape = 0; shape < shapes.size(); ++shape)
        sortByKeys(groups[shape]);
    const auto rowEarlier = [this](quint32 a, quint32 b) {
        return earlier(a, *this, b);
    };
    std::vector<quint32> &irregularRows = groups.back();
    if (!std::is_sorted(irregularRows.begin(), irregularRows.end(), rowEarlier))
        std::stable_sort(irregularRows.begin(), irregularRows.end(), rowEarlier);
    return rowsOfShapesInOrder(groups);
}

// Rows of one shape, in their order, sorted by their keys beside them rather than read through
// the chunks for each comparison; a tie keeps their order.
void DateColumn::sortByKeys(std::vector<quint32> &rows) const
{
    if (std::is_sorted(
            rows.begin(), rows.end(), [this](quint32 a, quint32 b) { return keys[a] < keys[b]; }))
        return;
    std::vector<std::pair<quint64, quint32>> keyed;
    keyed.reserve(rows.size());
    for (const quint32 row : rows)
        keyed.emplace_back(keys[row], row);
    std::sort(keyed.begin(), keyed.end());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = keyed[i].second;
}

std::vector<quint32> DateColumn::rowsOfShapesInOrder(
    std::vector<std::vector<quint32>> &groups) const
{
    groups.erase(std::remove_if(groups.begin(), groups.end(),
                     [](const std::vector<quint32> &group) { return group.empty(); }),
        groups.end());
    std::vector<size_t> next(groups.size());
    std::vector<quint32> rows;
    rows.reserve(size());
    while (rows.size() < size()) {
        size_t earliest = groups.size();
        for (size_t group = 0; group < groups.size(); ++group) {
            if (next[group] < groups[group].size()
                && (earliest == groups.size()
                    || earlier(
                        groups[group][next[group]], *this, groups[earliest][next[earliest]])))
                earliest = group;
        }
        rows.push_back(groups[earliest][next[earliest]++]);
    }
    return rows;
}

size_t DateColumn::memoryBytes() const
{
    size_t bytes = keys.memoryBytes();
    for (const auto &entry : *irregularTexts)
        bytes += 48 + size_t(entry.second.size()) * 2;
    return bytes;
}
