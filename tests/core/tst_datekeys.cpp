// Date keys must order records exactly as their date texts do, whatever the texts are.
#include "datekeys.h"
#include "logrecordloader.h"
#include "testlogs.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

namespace {

using QarnLog = QarnLogParser::QarnLog;
using Records = std::vector<QarnLog>;

// Dates of many shapes, most of them the usual one and close to each other, so that pairs
// differ in one digit, in a separator, in length or in a character that only looks like a
// digit.
QString randomDate(QRandomGenerator &random)
{
    QString date = QStringLiteral("2023/02/28 12:34:56.789");
    for (int i = 0; i < 3; ++i) {
        const qsizetype at = 11 + random.bounded(12);
        if (date[at].isDigit())
            date[at] = QChar(u'0' + random.bounded(10));
    }
    switch (random.bounded(14)) {
    case 0:
        return date.replace(u'/', u'-');
    case 1:
        return date.left(random.bounded(23));
    case 2:
        date[random.bounded(23)] = u'x';
        return date;
    case 3:
        date[20] = QChar(0x0661); // ARABIC-INDIC DIGIT ONE: a digit, but not 0 to 9
        return date;
    case 4:
        date[19] = u'7'; // a digit where the separator belongs
        return date;
    case 5: {
        // Nothing but digits: more than a key can hold.
        QString digits = QString::number(random.bounded(1000, 9999));
        for (QChar unit : date.mid(4) + QString::number(random.bounded(100000, 999999))) {
            if (unit.isDigit())
                digits += unit;
        }
        return digits.left(23);
    }
    case 6:
        return date + u'0';
    default:
        return date;
    }
}

Records randomRecords(QRandomGenerator &random, int count)
{
    Records records(static_cast<size_t>(count));
    for (QarnLog &record : records)
        record.dateTime = randomDate(random);
    return records;
}

// Whether every pair of records, within a and across a and b, compares by keys as by text:
// the first pair that does not, or an empty text.
QString keysDifferFromTexts(
    const Records &a, const DateKeys &aKeys, const Records &b, const DateKeys &bKeys)
{
    for (size_t i = 0; i < a.size(); ++i) {
        for (size_t j = 0; j < a.size(); ++j) {
            if (DateKeys::earlier(a[i], aKeys.keys[i], a[j], aKeys.keys[j])
                != (a[i].dateTime < a[j].dateTime))
                return a[i].dateTime + " / " + a[j].dateTime;
        }
        for (size_t j = 0; j < b.size(); ++j) {
            if (DateKeys::earlier(a[i], aKeys.keys[i], b[j], bKeys.keys[j])
                    != (a[i].dateTime < b[j].dateTime)
                || DateKeys::earlier(b[j], bKeys.keys[j], a[i], aKeys.keys[i])
                    != (b[j].dateTime < a[i].dateTime))
                return a[i].dateTime + " / " + b[j].dateTime;
        }
    }
    return {};
}

} // namespace

class TestDateKeys : public QObject
{
    Q_OBJECT

private slots:
    void keysCompareAsTexts_data();
    void keysCompareAsTexts();
    void mostDatesGetKeys();
    void mergeOfMixedShapesIsTheStableSort();
};

void TestDateKeys::keysCompareAsTexts_data()
{
    QTest::addColumn<QString>("firstOfA");
    QTest::addColumn<QString>("firstOfB");
    QTest::newRow("same shape") << "2023/01/01 00:00:00.000"
                                << "2023/01/01 00:00:00.000";
    QTest::newRow("other separators") << "2023/01/01 00:00:00.000"
                                      << "2023-01-01 00:00:00.000";
    QTest::newRow("shorter") << "2023/01/01 00:00"
                             << "2023/01/01 00:00:00.000";
    QTest::newRow("no digits first") << ""
                                     << "----/--/--";
    QTest::newRow("too many digits") << "20230101000000000000000"
                                     << "2023/01/01 00:00:00.000";
}

void TestDateKeys::keysCompareAsTexts()
{
    QFETCH(QString, firstOfA);
    QFETCH(QString, firstOfB);
    QRandomGenerator random(7);
    for (int round = 0; round < 20; ++round) {
        Records a = randomRecords(random, 60);
        Records b = randomRecords(random, 60);
        a.front().dateTime = firstOfA;
        a.back().dateTime = firstOfA;
        b.front().dateTime = firstOfB;
        const DateKeys aKeys(a);
        DateKeys bKeys(b);
        bKeys.adoptShapeOf(aKeys);
        QCOMPARE(keysDifferFromTexts(a, aKeys, b, bKeys), QString());
    }
}

void TestDateKeys::mostDatesGetKeys()
{
    // The keys are only worth their cost if dates of the usual shape get them.
    QRandomGenerator random(11);
    Records records = randomRecords(random, 1000);
    records.front().dateTime = "2023/02/28 12:34:56.789";
    const DateKeys dateKeys(records);
    const auto keyed = std::count_if(dateKeys.keys.begin(), dateKeys.keys.end(),
        [](quint64 key) { return key != DateKeys::none; });
    QVERIFY2(keyed > 400, qPrintable(QString::number(keyed)));
    QCOMPARE(dateKeys.keys.size(), records.size());
}

void TestDateKeys::mergeOfMixedShapesIsTheStableSort()
{
    // Runs whose first dates have different shapes, one out of order and one without keys: the
    // merge still equals the stable sort of all records by text.
    QRandomGenerator random(5);
    std::vector<LogRecordLoader::SortedRun> runs;
    for (int run = 0; run < 5; ++run) {
        Records records = randomRecords(random, 400 + run * 100);
        records.front().dateTime = run % 2 ? "2023-02-28 12:34:56.789" : "2023/02/28 12:34:56";
        for (size_t i = 0; i < records.size(); ++i)
            records[i].message = QStringLiteral("%1.%2").arg(run).arg(i);
        if (run != 3)
            std::stable_sort(records.begin(), records.end(),
                [](const QarnLog &x, const QarnLog &y) { return x.dateTime < y.dateTime; });
        // The last run comes sorted but without its keys, as a caller may hand it over.
        runs.push_back(run == 4 ? LogRecordLoader::SortedRun {std::move(records), DateKeys()}
                                : LogRecordLoader::sortedRun(std::move(records)));
    }
    const QString difference = mergeDiffersFromStableSort(std::move(runs));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

QTEST_GUILESS_MAIN(TestDateKeys)
#include "tst_datekeys.moc"
