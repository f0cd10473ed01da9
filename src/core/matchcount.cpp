#include "matchcount.h"

#include "indexedsearch.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>

#include <algorithm>

namespace {

// The rows of an index that hold the needle, of those flagged; -1 when a file changed.
int countIndexed(const RecordIndex &index, const QString &needle, std::vector<char> &passes)
{
    if (!IndexedSearch(index, {needle}, true).narrow(passes))
        return -1;
    return int(std::count(passes.begin(), passes.end(), 1));
}

} // namespace

MatchCount::MatchCount(int rows)
    : QObject(nullptr)
    , rowCount(rows)
{ }

QString MatchCount::text() const
{
    if (!countDone || matchCount < 0)
        return {};
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return QCoreApplication::translate("KestruneCore", "%1 of %2")
        .arg(english.toString(matchCount), english.toString(rowCount));
}

MatchCount *MatchCount::start(const OpenLogEntry &log, const QString &str, ResultWorkers &workers)
{
    const std::vector<int> &rows = log.filter->acceptedSourceRows();
    auto *count = new MatchCount(int(rows.size()));
    const QString needle = str.toLower();
    std::shared_ptr<const RecordIndex> index = log.model->recordIndex();
    // The core's logs are indexed; records set in memory are not counted.
    if (!index) {
        deliver(count, -1);
        return count;
    }
    std::vector<char> passes(index->size(), 0);
    for (const int row : rows)
        passes[size_t(row)] = 1;
    workers.start([index = std::move(index), needle, passes = std::move(passes),
                      receiver = QPointer<MatchCount>(count)]() mutable {
        int found = -1;
        (void)failureOf([&] { found = countIndexed(*index, needle, passes); });
        deliver(receiver, found);
    });
    return count;
}

void MatchCount::deliver(QPointer<MatchCount> receiver, int matches)
{
    ResultWorkers::deliver(receiver, [matches](MatchCount &count) { count.finish(matches); });
}

void MatchCount::finish(int count)
{
    matchCount = count;
    countDone = true;
    emit finished();
}
