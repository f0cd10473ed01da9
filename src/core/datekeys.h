#pragma once

#include "qarnlogparser.h"

#include <QString>

#include <vector>

// Numbers that order one run's records as their date texts do, so that a merge compares
// numbers instead of strings. A date of the run's common shape (the length and the characters
// other than decimal digits of its first date with one to eighteen digits) gets its digits read as
// one decimal number: two such dates differ first in a digit, so their numbers compare as their
// texts do. Any other date gets `none`, and its text is compared.
class DateKeys
{
public:
    static constexpr quint64 none = ~quint64(0);

    DateKeys() = default;
    explicit DateKeys(const std::vector<QarnLogParser::QarnLog> &records);

    // Whether a comes before b, a and b being records with their keys, from this or another
    // run of the same shape.
    [[nodiscard]] static bool earlier(const QarnLogParser::QarnLog &a, quint64 aKey,
        const QarnLogParser::QarnLog &b, quint64 bKey)
    {
        // Keys stay below 10^18, so the top bit is set only where one of them is none.
        if (((aKey | bKey) >> 63) == 0)
            return aKey < bKey;
        return a.dateTime < b.dateTime;
    }

    [[nodiscard]] bool hasShape() const { return !shape.isEmpty(); }
    [[nodiscard]] bool inOrder(const std::vector<QarnLogParser::QarnLog> &records) const;
    // Keys of another shape cannot be compared with these: such a run keeps none at all.
    void adoptShapeOf(const DateKeys &other);

    std::vector<quint64> keys;

private:
    [[nodiscard]] quint64 keyOf(const QString &date) const;

    // The shape's length and, at each place, the character a date must have there, or '0' where
    // it must have a digit.
    QString shape;
};
