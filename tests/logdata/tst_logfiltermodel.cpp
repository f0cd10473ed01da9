#include "logfiltermodel.h"
#include "loggenerator.h"
#include "logmodel.h"
#include "parallelfor.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Record = QarnLogParser::QarnLog;

Record record(const QString &type, const QString &message)
{
    return {"2023/02/28 10:00:00.000", type, "12", "Net", "Main.cpp", "7", message, 0};
}

// The acceptance rule written out plainly from the record's fields.
bool passes(const Record &r, const QStringList &texts, bool anyOf, bool onlyErrors)
{
    const QString type = r.logType.toLower();
    if (onlyErrors && type != "error" && type != "fatal")
        return false;
    if (texts.isEmpty())
        return true;
    const QStringList fields {r.dateTime, r.logType.toLower(), r.threadID.toLower(),
        r.moduleName.toLower(), r.cppFileName.toLower(), r.message.toLower()};
    const QString searchText = fields.join("zzz");
    for (const QString &text : texts) {
        if (searchText.contains(text.toLower()) == anyOf)
            return anyOf;
    }
    return !anyOf;
}

std::vector<int> expectedRows(
    const std::vector<Record> &records, const QStringList &texts, bool anyOf, bool onlyErrors)
{
    std::vector<int> rows;
    for (size_t i = 0; i < records.size(); ++i) {
        if (passes(records[i], texts, anyOf, onlyErrors))
            rows.push_back(int(i));
    }
    return rows;
}

std::vector<int> proxyRows(const LogFilterModel &filter)
{
    std::vector<int> rows;
    for (int row = 0; row < filter.rowCount(); ++row)
        rows.push_back(filter.mapToSource(filter.index(row, 0)).row());
    return rows;
}

// The source rows whose records the filter shows, asked the other way round: every source row
// that maps to a filter row, as that filter row maps back.
std::vector<int> rowsMappedFromSource(const LogFilterModel &filter)
{
    std::vector<int> rows;
    const QAbstractItemModel *source = filter.sourceModel();
    for (int row = 0; row < source->rowCount(); ++row) {
        const QModelIndex shown = filter.mapFromSource(source->index(row, 0));
        if (shown.isValid())
            rows.push_back(filter.mapToSource(shown).row());
    }
    return rows;
}

QVariantList variants(const QStringList &texts)
{
    QVariantList list;
    for (const QString &text : texts)
        list.append(text);
    return list;
}

std::vector<Record> generatedRecords()
{
    QTemporaryDir dir;
    LogGenerator generator(3);
    generator.writeLog(dir.path(), "Gen", 1, 600'000);
    auto *file = new QFile(QDir(dir.path()).filePath("Gen_1.log"));
    file->open(QIODevice::ReadOnly);
    std::vector<Record> records = QarnLogParser::parse(file);
    records.push_back(record("ERROR", "Queue Full on channel 3"));
    records.push_back(record("error ", "queue full"));
    records.push_back(record("", "ELAPSED TIME"));
    records.push_back(record("Info", "Zulu QAZ @[`{"));
    records.push_back(record("Info", "Zürich ZAQ @[`{"));
    return records;
}

} // namespace

class TestLogFilterModel : public QObject
{
    Q_OBJECT

private slots:
    void rowsFollowTheRuleAfterEveryChange_data();
    void rowsFollowTheRuleAfterEveryChange();
    void largeLogsGiveTheSameRows_data();
    void largeLogsGiveTheSameRows();
    void textsAreFoundAtEveryPosition();
    void errorsOnlyKeepsTextsAndMode();
    void dateRangeKeepsBothBoundsAndTheOtherSettings();
    void eachChangeIsOneReset();
    void followsTheSourceModel();
    void nonTextFilterValues();
    void otherSourceModelsAreReadThroughRoles();
};

void TestLogFilterModel::rowsFollowTheRuleAfterEveryChange_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("none") << QStringList();
    QTest::newRow("empty text") << QStringList {""};
    QTest::newRow("blank text") << QStringList {" "};
    QTest::newRow("three texts") << QStringList {"Queue Full", "elapsed time", "no proper storage"};
    QTest::newRow("separator") << QStringList {"zzz"};
    QTest::newRow("across fields") << QStringList {"errorzzz1"};
    QTest::newRow("most records") << QStringList {"zzz", "a", "e"};
    QTest::newRow("date") << QStringList {"00:00:0", "STORAGE"};
    QTest::newRow("nowhere") << QStringList {"no such text", "queue"};
    QTest::newRow("duplicates") << QStringList {"queue", "queue", ""};
    QTest::newRow("many texts") << QStringList {
        "Queue Full", "elapsed time", "segment 1", "channel 2", "no such text"};
    QTest::newRow("many common texts") << QStringList {"info", "e", "a", "zzz", "0", "ne"};
    // Case folding at the edges of the alphabet, and the characters just beyond them.
    QTest::newRow("alphabet edges") << QStringList {"zulu", "qaz"};
    QTest::newRow("alphabet edges, non-ASCII") << QStringList {"ZÜRICH", "zaq"};
    QTest::newRow("beyond the alphabet") << QStringList {"@[", "`{"};
}

void TestLogFilterModel::rowsFollowTheRuleAfterEveryChange()
{
    QFETCH(QStringList, texts);
    static const std::vector<Record> records = generatedRecords();
    LogModel model;
    QAbstractItemModelTester modelTester(&model);
    model.setRecords(records);
    LogFilterModel filter;
    QAbstractItemModelTester tester(&filter);
    filter.setSourceModel(&model);
    QCOMPARE(proxyRows(filter), expectedRows(records, {}, true, false));
    // The same settings given at once.
    LogFilterModel together;
    together.setSourceModel(&model);

    for (const bool onlyErrors : {false, true, false}) {
        filter.setShowOnlyErrors(onlyErrors);
        for (const bool anyOf : {true, false}) {
            if (anyOf)
                filter.setContainsOnly(variants(texts));
            else
                filter.setContainsAll(variants(texts));
            const std::vector<int> expected = expectedRows(records, texts, anyOf, onlyErrors);
            QCOMPARE(proxyRows(filter), expected);
            QCOMPARE(filter.acceptedSourceRows(), expected);
            QCOMPARE(rowsMappedFromSource(filter), expected);
            together.setFilter(variants(texts), anyOf, onlyErrors);
            QCOMPARE(together.acceptedSourceRows(), expected);
        }
    }
    filter.setContainsOnly({});
    QCOMPARE(proxyRows(filter), expectedRows(records, {}, true, false));
}

void TestLogFilterModel::largeLogsGiveTheSameRows_data()
{
    QTest::addColumn<int>("threads");
    for (const int threads : {1, 2, 3})
        QTest::addRow("%d threads", threads) << threads;
}

void TestLogFilterModel::largeLogsGiveTheSameRows()
{
    QFETCH(int, threads);
    setThreadCount(size_t(threads));
    const auto machineThreads = qScopeGuard([] { setThreadCount(0); });
    // Large enough for the pass and the search texts to be split among three threads, in
    // parts of unequal size.
    static const std::vector<Record> records = [] {
        std::vector<Record> made;
        for (int i = 0; i < 300'007; ++i) {
            made.push_back(record(i % 5 ? "Info" : "Error",
                i % 7 ? QString("entry %1").arg(i) : QString("Queue Full %1").arg(i)));
        }
        return made;
    }();
    LogModel model;
    QAbstractItemModelTester modelTester(&model);
    model.setRecords(records);
    LogFilterModel filter;
    QAbstractItemModelTester filterTester(&filter);
    filter.setSourceModel(&model);
    // Every record: a row left out at a split point shows.
    filter.setContainsOnly({"entry", "queue"});
    QCOMPARE(filter.rowCount(), int(records.size()));
    filter.setContainsOnly({"queue full", "entry 12"});
    QCOMPARE(filter.acceptedSourceRows(),
        expectedRows(records, {"queue full", "entry 12"}, true, false));
    filter.setShowOnlyErrors(true);
    filter.setContainsAll({"full", "5"});
    QCOMPARE(filter.acceptedSourceRows(), expectedRows(records, {"full", "5"}, false, true));
    QCOMPARE(proxyRows(filter), filter.acceptedSourceRows());
}

void TestLogFilterModel::textsAreFoundAtEveryPosition()
{
    // The needle at each place of messages of many lengths, whole or with its first, a middle
    // or its last character changed, so that each candidate test sees hits and near misses.
    const QString needle = QString::fromUtf8("ab\u00e9\u4e2dcd");
    std::vector<Record> records;
    for (int length = 0; length < 40; ++length) {
        for (int at = 0; at + needle.size() <= length; ++at) {
            for (const int changed : {-1, 0, 2, int(needle.size()) - 1}) {
                QString message(length, QLatin1Char('x'));
                QString placed = needle;
                if (changed >= 0)
                    placed[changed] = QLatin1Char('y');
                message.replace(at, placed.size(), placed);
                records.push_back(record("Info", message));
            }
        }
        records.push_back(record("Info", QString(length, QLatin1Char('a'))));
    }
    LogModel model;
    QAbstractItemModelTester modelTester(&model);
    model.setRecords(records);
    LogFilterModel filter;
    QAbstractItemModelTester filterTester(&filter);
    filter.setSourceModel(&model);
    for (const QStringList &texts : {QStringList {needle}, QStringList {needle.left(2)},
             QStringList {needle.right(3)}, QStringList {QString(41, QLatin1Char('a'))},
             QStringList {"aaaaaaaaa", "xd"}, QStringList {"infozzz"}}) {
        filter.setContainsOnly(variants(texts));
        const std::vector<int> expected = expectedRows(records, texts, true, false);
        QVERIFY2(!expected.empty() || texts.first().size() > 40, qPrintable(texts.join('|')));
        QCOMPARE(filter.acceptedSourceRows(), expected);
    }
}

void TestLogFilterModel::errorsOnlyKeepsTextsAndMode()
{
    LogModel model;
    QAbstractItemModelTester modelTester(&model);
    model.setRecords({record("Error", "queue full"), record("Info", "queue full and more"),
        record("FATAL", "queue"), record("Error", "other")});
    LogFilterModel filter;
    QAbstractItemModelTester filterTester(&filter);
    filter.setSourceModel(&model);
    filter.setContainsAll({"QUEUE", "full"});
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {0, 1}));
    filter.setShowOnlyErrors(true);
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {0}));
    filter.setShowOnlyErrors(false);
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {0, 1}));
    filter.setContainsOnly({"other", "and more"});
    filter.setShowOnlyErrors(true);
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {3}));
}

// Both bounds are kept: a date equal to from, and every date that begins with to. The range
// stays through changes of the texts and the errors-only switch, which it narrows further.
void TestLogFilterModel::dateRangeKeepsBothBoundsAndTheOtherSettings()
{
    std::vector<Record> records;
    for (const char *date :
        {"2023/02/27 23:59:59.999", "2023/02/28 10:00:00.000", "2023/02/28 10:00:00.001",
            "2023/02/28 10:59:59.999", "2023/02/28 11:00:00.000", "2023/03/01 00:00:00.000"}) {
        records.push_back(record(records.size() % 2 ? "Error" : "Info", "entry"));
        records.back().dateTime = date;
    }
    records.back().message = "other";
    LogModel model;
    model.setRecords(records);
    LogFilterModel filter;
    QAbstractItemModelTester filterTester(&filter);
    filter.setSourceModel(&model);
    filter.setDateRange({"2023/02/28 10:00:00.000", "2023/02/28 10"});
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {1, 2, 3}));
    QVERIFY(filter.hasFilter());
    filter.setShowOnlyErrors(true);
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {1, 3}));
    filter.setFilter({}, true, false, {"2023/02/28", {}});
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {1, 2, 3, 4, 5}));
    filter.setContainsOnly({"ENTRY"});
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {1, 2, 3, 4}));
    filter.setFilter({"entry"}, true, false, {{}, "2023/02/28 10:00:00.000"});
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {0, 1}));
    filter.setDateRange({"2023/03", "2023/02"});
    QCOMPARE(filter.rowCount(), 0);
    filter.setDateRange({});
    QCOMPARE(filter.rowCount(), 5);
    QVERIFY(filter.hasFilter());
}

void TestLogFilterModel::eachChangeIsOneReset()
{
    LogModel model;
    QAbstractItemModelTester modelTester(&model);
    model.setRecords({record("Error", "a"), record("Info", "b"), record("Info", "ab")});
    LogFilterModel filter;
    QAbstractItemModelTester filterTester(&filter);
    filter.setSourceModel(&model);
    QSignalSpy resets(&filter, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&filter, &QAbstractItemModel::rowsInserted);
    QSignalSpy removals(&filter, &QAbstractItemModel::rowsRemoved);
    filter.setContainsOnly({"b"});
    QCOMPARE(filter.rowCount(), 2);
    filter.setShowOnlyErrors(true);
    QCOMPARE(filter.rowCount(), 0);
    filter.setContainsAll({});
    QCOMPARE(filter.rowCount(), 1);
    // Settings given at once reset only when they change something.
    filter.setFilter({}, false, true);
    filter.setFilter({"B"}, true, false);
    QCOMPARE(filter.rowCount(), 2);
    filter.setFilter({"b"}, true, false);
    QCOMPARE(resets.count(), 4);
    QCOMPARE(inserts.count(), 0);
    QCOMPARE(removals.count(), 0);
}

void TestLogFilterModel::followsTheSourceModel()
{
    LogModel first;
    QAbstractItemModelTester firstTester(&first);
    first.setRecords({record("Info", "x"), record("Info", "y"), record("Info", "x")});
    LogModel second;
    QAbstractItemModelTester secondTester(&second);
    second.setRecords({record("Info", "y"), record("Info", "x")});
    LogFilterModel filter;
    QAbstractItemModelTester filterTester(&filter);
    QVERIFY(filter.acceptedSourceRows().empty());
    filter.setContainsOnly({"x"});
    filter.setSourceModel(&first);
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {0, 2}));
    filter.setSourceModel(&second);
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {1}));
    QCOMPARE(proxyRows(filter), (std::vector<int> {1}));
    second.setRecords({record("Info", "x"), record("Info", "x"), record("Info", "z")});
    QCOMPARE(proxyRows(filter), (std::vector<int> {0, 1}));
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {0, 1}));
}

void TestLogFilterModel::nonTextFilterValues()
{
    LogModel model;
    QAbstractItemModelTester modelTester(&model);
    model.setRecords({record("Info", "code 42"), record("Info", "true story"), record("Info", "")});
    LogFilterModel filter;
    QAbstractItemModelTester filterTester(&filter);
    filter.setSourceModel(&model);
    filter.setContainsOnly({42});
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {0}));
    filter.setContainsOnly({true});
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {1}));
    filter.setContainsAll({QVariant()});
    QCOMPARE(filter.rowCount(), 3);
}

// A source model that is no LogModel and knows none of the record roles: every row has an
// empty type and an empty search text.
void TestLogFilterModel::otherSourceModelsAreReadThroughRoles()
{
    QStringListModel source({"a", "b"});
    LogFilterModel filter;
    QAbstractItemModelTester filterTester(&filter);
    filter.setSourceModel(&source);
    filter.setContainsOnly({""});
    QCOMPARE(filter.acceptedSourceRows(), (std::vector<int> {0, 1}));
    filter.setContainsOnly({"a"});
    QCOMPARE(filter.rowCount(), 0);
    filter.setContainsOnly({});
    filter.setShowOnlyErrors(true);
    QCOMPARE(filter.rowCount(), 0);
    filter.setShowOnlyErrors(false);
    QCOMPARE(filter.rowCount(), 2);
    // Rows that come and go, and data that changes, reach the filter as the tester checks.
    QVERIFY(source.insertRows(1, 2));
    source.setData(source.index(1), "c");
    QCOMPARE(filter.rowCount(), 4);
    QVERIFY(source.removeRows(0, 3));
    QCOMPARE(filter.rowCount(), 1);
    QCOMPARE(filter.index(0, 0).data().toString(), QStringLiteral("b"));
}

QTEST_GUILESS_MAIN(TestLogFilterModel)
#include "tst_logfiltermodel.moc"
