#include "daterange.h"

DateRange::DateRange(QString from, QString to)
    : lower(std::move(from))
    , upper(std::move(to))
{ }

bool DateRange::contains(QStringView date) const
{
    return !(date < QStringView(lower)) && !isAfterUpper(date);
}

bool DateRange::isAfterUpper(QStringView date) const
{
    return !upper.isEmpty() && QStringView(upper) < date.left(upper.size());
}
