#pragma once

#include <QString>
#include <QStringView>

#include <utility>

// The span of date and time texts that a time-range filter keeps, compared as text the way
// the date search compares them (QString's less-than, nothing parsed or trimmed). Both bounds
// are inclusive: a date passes when it does not sort before `from`, and when its first
// characters, as many as `to` has, do not sort after `to`; so "2023/02/28" as `to` keeps the
// whole of that day. An empty bound does not bound.
class DateRange
{
public:
    DateRange() = default;
    DateRange(QString from, QString to);

    [[nodiscard]] const QString &from() const { return lower; }
    [[nodiscard]] const QString &to() const { return upper; }
    [[nodiscard]] bool isBounded() const { return !lower.isEmpty() || !upper.isEmpty(); }
    [[nodiscard]] bool contains(QStringView date) const;

    // The rows [first, end) that the range holds among count rows whose dates never decrease;
    // dateAt(row) gives a row's date text. Reads about twice the logarithm of count dates.
    template<typename DateAt>
    [[nodiscard]] std::pair<size_t, size_t> rowsIn(size_t count, DateAt dateAt) const
    {
        const size_t first
            = firstRowWhere(0, count, [&](size_t row) { return !(dateAt(row) < lower); });
        const size_t end
            = firstRowWhere(first, count, [&](size_t row) { return isAfterUpper(dateAt(row)); });
        return {first, end};
    }

    [[nodiscard]] bool operator==(const DateRange &other) const
    {
        return lower == other.lower && upper == other.upper;
    }

private:
    [[nodiscard]] bool isAfterUpper(QStringView date) const;
    // The first row of [begin, end) for which test holds, given that it holds for every row
    // after one that it holds for; end when there is none.
    template<typename Test>
    [[nodiscard]] static size_t firstRowWhere(size_t begin, size_t end, Test test)
    {
        while (begin < end) {
            const size_t middle = begin + (end - begin) / 2;
            if (test(middle))
                end = middle;
            else
                begin = middle + 1;
        }
        return begin;
    }

    QString lower;
    QString upper;
};
