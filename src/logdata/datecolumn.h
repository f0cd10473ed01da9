#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include "chunkedcolumn.h"

#include <memory>
#include <unordered_map>

// The date texts of one file's records, eight bytes each: a date of the file's common shape
// (its first date with one to eighteen digits, each digit seen as '0') is kept as its digits read
// as one decimal number, from which its text comes back exactly; any other date is kept as text.
// Two dates of one shape differ first in a digit, so their numbers compare as their texts do.
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
    [[nodiscard]] bool earlier(size_t a, const DateColumn &other, size_t b) const;
    // Whether no date comes before the one above it, as a file's dates nearly always are.
    [[nodiscard]] bool inOrder() const;
    [[nodiscard]] size_t memoryBytes() const;
    // A row's key, irregular for a date kept as text. Keys of two columns compare as their
    // dates do when both are regular and the columns share their shape.
    [[nodiscard]] quint64 keyAt(size_t row) const { return keys[row]; }
    // Whether every date is kept as a key.
    [[nodiscard]] bool allRegular() const { return irregularTexts->empty(); }
    // The first row whose key is not below key; the keys must be in order.
    [[nodiscard]] size_t firstKeyAtLeast(quint64 key) const
    {
        return key == 0 ? 0 : keys.upperBound(0, keys.size(), key - 1);
    }
    [[nodiscard]] bool sharesShapeWith(const DateColumn &other) const
    {
        return shape.isSharedWith(other.shape) || shape == other.shape;
    }

private:
    template<typename View>
    void appendDate(View date);
    template<typename View>
    [[nodiscard]] quint64 keyOf(View date) const;

    using IrregularTexts = std::unordered_map<size_t, QString>;
    // The texts of dates kept as text, by row, copied before a change when shared.
    IrregularTexts &writableIrregularTexts();

    void noteOrderAt(size_t row, quint64 key);

    static constexpr size_t noRow = ~size_t(0);

    QString shape;
    ChunkedColumn<quint64> keys;
    // The first row whose key is below the one above it, noted as dates come, so that a
    // column of keys alone needs no pass to tell its order. A date kept as text counts as the
    // highest key here; a column that has such dates is checked by its texts.
    size_t firstKeyOutOfOrder = noRow;
    std::shared_ptr<IrregularTexts> irregularTexts = std::make_shared<IrregularTexts>();
};
