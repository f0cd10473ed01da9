#pragma once

#include <QRandomGenerator>
#include <QStringList>

// Filter texts shared by the benchmark programs.
class BenchTexts
{
public:
    // Ids as a user pastes them into the filter: kinds of ids the log holds with numbers of the
    // same range, so that some occur and most do not; the same list on every run.
    static QStringList pastedIds(int count)
    {
        static const char *const kinds[] = {"segment ", "channel ", "session ", "stream "};
        QRandomGenerator numbers(8);
        QStringList ids;
        for (int i = 0; i < count; ++i)
            ids.append(QLatin1String(kinds[i % 4]) + QString::number(numbers.bounded(100'000)));
        return ids;
    }
};
