#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include "chunkedcolumn.h"

#include <memory>
#include <unordered_map>
#include <vector>

// The date texts of one file's records, eight bytes each. A date's shape is its text with each
// digit seen as '0'; a date of one of the column's first sixteen shapes (of one to eighteen
// digits) is kept as its shape's number and its digits read as one decimal number, from which
// its text comes back exactly; any other date is kept as text. Two dates of one shape differ
// first in a digit, so their numbers compare as their texts do; dates of two shapes compare
// where the shapes part. So a file whose dates take a few shapes, as when a header's first
// field is one digit wide in some lines and two in others, costs no more than one of one shape.
// Copies share what they hold until they change it (see ChunkedColumn).
class DateColumn
{
public:
    static constexpr quint64 irregular = ~quint64(0);

    // The date with each digit replaced by '0', or empty when it has no digits or more than a
    // key holds (eighteen).
    [[nodiscard]] static QString shapeOf(const QString &date);
    [[nodiscard]] static bool isDigit(char16_t unit) { return char16_t(unit - u'0') <= 9; }

    void append(QStringView date);
    // The same for a date of ASCII characters, as bytes.
    void append(QLatin1StringView date);
    // The dates of other after these, in their order.
    void append(const DateColumn &other);
    // Keeps the first count dates.
    void truncate(size_t count);

    [[nodiscard]] size_t size() const { return keys.size(); }
    [[nodiscard]] QString text(size_t row) const;
    // Whether row's date is this text, without making its text.
    [[nodiscard]] bool holds(size_t row, QLatin1StringView date) const;
    // Whether row a of this column comes before row b of other by QString's less-than.
    [[nodiscard]] bool earlier(size_t a, const DateColumn &other, size_t b) const
    {
        return compare(a, other, b) < 0;
    }
    // Below, at or above zero as row a of this column comes before, with or after row b of
    // other by QString's order.
    [[nodiscard]] int compare(size_t a, const DateColumn &other, size_t b) const
    {
        return compareWithKeys(a, keys[a], other, b, other.keys[b]);
    }
    // The same with the rows' keys at hand, as a merge keeps them.
    [[nodiscard]] int compareWithKeys(
        size_t a, quint64 aKey, const DateColumn &other, size_t b, quint64 bKey) const;
    // Whether no date comes before the one above it, as a file's dates nearly always are.
    [[nodiscard]] bool inOrder() const;
    // The rows in date order, rows of equal dates in their own order.
    [[nodiscard]] std::vector<quint32> rowsInDateOrder() const;
    [[nodiscard]] size_t memoryBytes() const;
    // A row's key, irregular for a date kept as text. Keys of two columns compare as their
    // dates do when both are regular and the columns share their one shape.
    [[nodiscard]] quint64 keyAt(size_t row) const { return keys[row]; }
    // Whether every date is kept as a key.
    [[nodiscard]] bool allRegular() const { return irregularTexts->empty(); }
    // Whether the dates of both columns take one shape at most, the same.
    [[nodiscard]] bool sharesShapeWith(const DateColumn &other) const;

private:
    struct Shape
    {
        QString text;
        int digits = 0;
        // Tells this shape from every other one made in this process, for what is worked out
        // of two shapes once.
        quint64 serial = 0;
    };
    // Of two shapes a and b, what their dates' digits are divided by to leave those before the
    // place where the shapes part, and how a compares with b when those are equal.
    struct Parting
    {
        quint64 aSerial = 0;
        quint64 bSerial = 0;
        quint64 aDivisor = 1;
        quint64 bDivisor = 1;
        int onTie = 0;
    };

    // A key's top bits name its shape, the others hold its digits: eighteen digits stay below
    // 2^60, so no key of a shape is irregular.
    static constexpr int shapeBits = 4;
    static constexpr size_t maxShapes = (size_t(1) << shapeBits);
    static constexpr int digitBits = 64 - shapeBits;
    static constexpr quint64 digitMask = (quint64(1) << digitBits) - 1;

    template<typename View>
    void appendDate(View date);
    template<typename View>
    [[nodiscard]] quint64 keyOf(View date);
    // The date's digits as one number if it has the shape, otherwise irregular.
    template<typename View>
    [[nodiscard]] static quint64 digitsOf(View date, const QString &shape);
    [[nodiscard]] const Shape &shapeAt(quint64 key) const { return shapes[key >> digitBits]; }
    [[nodiscard]] static int compareTexts(
        const Shape &aShape, quint64 aDigits, const Shape &bShape, quint64 bDigits);
    [[nodiscard]] static Parting partingOf(const Shape &aShape, const Shape &bShape);
    // Where the other column's shapes stand in this one, adding those it lacks; empty, and
    // nothing added, when they do not all fit.
    [[nodiscard]] std::vector<quint64> shapeKeysFor(const DateColumn &other);
    void sortByKeys(std::vector<quint32> &rows) const;
    [[nodiscard]] std::vector<quint32> rowsOfShapesInOrder(
        std::vector<std::vector<quint32>> &groups) const;

    using IrregularTexts = std::unordered_map<size_t, QString>;
    // The texts of dates kept as text, by row, copied before a change when shared.
    IrregularTexts &writableIrregularTexts();

    void noteOrderAt(size_t row, quint64 key);

    static constexpr size_t noRow = ~size_t(0);

    std::vector<Shape> shapes;
    // The shape of the date appended last, tried first for the next one.
    size_t lastShape = 0;
    ChunkedColumn<quint64> keys;
    // The first row whose key is below the one above it, noted as dates come, so that a
    // column of keys of one shape needs no pass to tell its order. A date kept as text counts
    // as the highest key here; a column that has such dates, or dates of several shapes, is
    // checked by its texts.
    size_t firstKeyOutOfOrder = noRow;
    std::shared_ptr<IrregularTexts> irregularTexts = std::make_shared<IrregularTexts>();
};
