// The text, date and record-number searches on an open log's visible rows.
#include "kestrunecore.h"
#include "loggenerator.h"
#include "logmodel.h"
#include "parallelfor.h"
#include "testlogs.h"
#include "textlinereader.h"

#include <QAbstractItemModel>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The searches as a plain walk over the model's rows through the item-model interface.
int walkFindNext(const QAbstractItemModel &model, int startsAt, const QString &str)
{
    const QString needle = str.toLower();
    const auto matches = [&](int row) {
        return model.index(row, 0).data(LogModel::searchTextRole).toString().indexOf(needle) != -1;
    };
    for (int row = startsAt; row < model.rowCount(); ++row) {
        if (matches(row))
            return row;
    }
    for (int row = 0; row < startsAt; ++row) {
        if (matches(row))
            return row;
    }
    return -1;
}

int walkFindPrevious(const QAbstractItemModel &model, int startsAt, const QString &str)
{
    const QString needle = str.toLower();
    const auto matches = [&](int row) {
        return model.index(row, 0).data(LogModel::searchTextRole).toString().indexOf(needle) != -1;
    };
    for (int row = startsAt; row >= 0; --row) {
        if (matches(row))
            return row;
    }
    for (int row = model.rowCount() - 1; row > startsAt; --row) {
        if (matches(row))
            return row;
    }
    return -1;
}

int walkFindDate(const QAbstractItemModel &model, const QString &str)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        if (str < model.index(row, 0).data(LogModel::dateTimeRole).toString())
            return row;
    }
    return -1;
}

int walkGetIndex(const QAbstractItemModel &model, int lineNumber)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, 0).data(LogModel::lineRole).toInt() == lineNumber)
            return row;
    }
    return -1;
}

QString at(int second)
{
    return QStringLiteral("2023/02/28 10:00:%1.000").arg(second, 2, 10, QLatin1Char('0'));
}

} // namespace

class TestLogSearches : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void findNextWrapsAround();
    void findPreviousWrapsAround();
    void findNextIgnoresCaseAndHiddenRecords();
    void findNextOutsideTheList();
    void findDateComparesText();
    void getIndexSkipsHiddenRecords();
    void emptyLogFindsNothing();
    void cutLineIsSaid();
    void hugeMessageIsReadWholeOnlyWhenAskedFor();
    void largeLogAgreesWithTheWalk();
    void matchesAreCountedInTheBackground();
    void findsInTheBackgroundAsTheSynchronousFinds();
    void dateOfAnotherFormIsTold();
    void findNextAtPieceEdges_data();
    void findNextAtPieceEdges();

private:
    static constexpr int edgeRows = 3 * 8192 + 100;
    QTemporaryDir dir;
    QString folder;
};

void TestLogSearches::initTestCase()
{
    folder = dir.path();
    // Rows 0 to 4 by time; "Needle" twice, once in an error record.
    QVERIFY(writeLogFile(folder + "/Small_1.log",
        {{at(1), "alpha"}, {at(3), "Needle one"}, {at(5), "gamma"},
            {at(7), "the NEEDLE two", "Error"}, {at(7), "omega"}}));
    QVERIFY(touchFile(folder + "/Empty_1.log"));
    QVERIFY(LogGenerator(7).writeLog(folder, "Big", 3, 6'000'000) > 20000);
    // More than three pieces of rows as a search hands them out, each text once, at the first
    // and last rows of pieces.
    QList<TestRecord> edges(edgeRows, {at(0), "hay"});
    for (const int row : {8191, 8192, 16383, 16384, edgeRows - 1})
        edges[row].message = QStringLiteral("mark %1").arg(row);
    QVERIFY(writeLogFile(folder + "/Edges_1.log", edges));
}

void TestLogSearches::findNextWrapsAround()
{
    KestruneCore core(folder);
    QVERIFY(core.openLog(folder, "Small"));
    QCOMPARE(core.logStatus(folder, "Small"), QString());
    QCOMPARE(core.findNext(folder, "Small", 2, "needle"), 3);
    QCOMPARE(core.findNext(folder, "Small", 4, "needle"), 1);
    // The current row is found again when it is the only match.
    QCOMPARE(core.findNext(folder, "Small", 3, "gamma"), 2);
    QCOMPARE(core.findNext(folder, "Small", 5, "omega"), 4);
    QCOMPARE(core.findNext(folder, "Small", 0, ""), 0);
    QCOMPARE(core.findNext(folder, "Small", 4, ""), 4);
    QCOMPARE(core.findNext(folder, "Small", 5, ""), 0);
    QCOMPARE(core.findNext(folder, "Small", 1, "not there"), -1);
}

void TestLogSearches::findPreviousWrapsAround()
{
    KestruneCore core(folder);
    QVERIFY(core.openLog(folder, "Small"));
    QCOMPARE(core.findPrevious(folder, "Small", 2, "needle"), 1);
    QCOMPARE(core.findPrevious(folder, "Small", 0, "needle"), 3);
    QCOMPARE(core.findPrevious(folder, "Small", 3, "NEEDLE"), 3);
    // The current row is found again when it is the only match.
    QCOMPARE(core.findPrevious(folder, "Small", 1, "gamma"), 2);
    QCOMPARE(core.findPrevious(folder, "Small", -1, "alpha"), 0);
    QCOMPARE(core.findPrevious(folder, "Small", -1, ""), 4);
    QCOMPARE(core.findPrevious(folder, "Small", 99, "needle"), 3);
    QCOMPARE(core.findPrevious(folder, "Small", 2, "not there"), -1);
    QCOMPARE(core.findPrevious(folder, "Nothing", 2, ""), -1);
    core.containsOnly({"a", "one"});
    QCOMPARE(core.findPrevious(folder, "Small", 0, "needle"), 1);
    QCOMPARE(core.findPrevious(folder, "Small", 3, "two"), -1);
}

void TestLogSearches::findNextIgnoresCaseAndHiddenRecords()
{
    KestruneCore core(folder);
    QAbstractItemModel *model = qobject_cast<QAbstractItemModel *>(core.openLog(folder, "Small"));
    QCOMPARE(core.findNext(folder, "Small", 0, "NEEDLE TWO"), 3);
    QCOMPARE(core.findNext(folder, "Small", 0, "error"), 3);
    core.containsOnly({"a", "one"});
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(core.findNext(folder, "Small", 0, "two"), -1);
    QCOMPARE(core.findNext(folder, "Small", 2, "needle"), 1);
    core.showOnlyErrors(true);
    QCOMPARE(core.findNext(folder, "Small", 0, "needle"), -1);
    core.containsOnly({});
    QCOMPARE(core.findNext(folder, "Small", 1, "needle"), 0);
}

void TestLogSearches::findNextOutsideTheList()
{
    KestruneCore core(folder);
    QVERIFY(core.openLog(folder, "Small"));
    for (const int startsAt :
        {-1, -100, 6, 1000, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        for (const QString &text : {QString(), QStringLiteral("needle"), QStringLiteral("zz")}) {
            const int row = core.findNext(folder, "Small", startsAt, text);
            QVERIFY2(row >= -1 && row < 5, qPrintable(QString::number(startsAt) + text));
        }
    }
    QCOMPARE(core.findNext(folder, "Small", -1, "needle"), 1);
    QCOMPARE(core.findNext(folder, "Small", 99, "needle"), 1);
}

void TestLogSearches::findDateComparesText()
{
    KestruneCore core(folder);
    QVERIFY(core.openLog(folder, "Small"));
    QCOMPARE(core.findDate(folder, "Small", ""), 0);
    QCOMPARE(core.findDate(folder, "Small", at(3)), 2);
    QCOMPARE(core.findDate(folder, "Small", at(4)), 2);
    QCOMPARE(core.findDate(folder, "Small", "2023/02/28 10:00:07"), 3);
    QCOMPARE(core.findDate(folder, "Small", "2023/02/28"), 0);
    QCOMPARE(core.findDate(folder, "Small", at(7)), -1);
    QCOMPARE(core.findDate(folder, "Small", "2023/03"), -1);
    core.containsOnly({"needle"});
    QCOMPARE(core.findDate(folder, "Small", at(1)), 0);
    QCOMPARE(core.findDate(folder, "Small", at(3)), 1);
}

void TestLogSearches::getIndexSkipsHiddenRecords()
{
    KestruneCore core(folder);
    QVERIFY(core.openLog(folder, "Small"));
    QCOMPARE(core.getIndex(folder, "Small", 4), 4);
    QCOMPARE(core.getIndex(folder, "Small", 5), -1);
    QCOMPARE(core.getIndex(folder, "Small", -1), -1);
    core.showOnlyErrors(true);
    QCOMPARE(core.getIndex(folder, "Small", 3), 0);
    QCOMPARE(core.getIndex(folder, "Small", 1), -1);
}

void TestLogSearches::emptyLogFindsNothing()
{
    KestruneCore core(folder);
    QObject *model = core.openLog(folder, "Empty");
    QVERIFY(model);
    QCOMPARE(qobject_cast<QAbstractItemModel *>(model)->rowCount(), 0);
    QCOMPARE(core.logStatus(folder, "Empty"), QString("No records in this log."));
    QCOMPARE(core.findNext(folder, "Empty", 0, ""), -1);
    QCOMPARE(core.findNext(folder, "Empty", 0, "x"), -1);
    QCOMPARE(core.findDate(folder, "Empty", ""), -1);
    QCOMPARE(core.getIndex(folder, "Empty", 0), -1);
}

void TestLogSearches::cutLineIsSaid()
{
    QFile file(folder + "/Cut_1.log");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<HEAD>[01]2023/02/28 00:00:00.000 <LN>Info</LN>\n<CONT>");
    file.write(QByteArray(TextLineReader::defaultMaxLineBytes, 'x'));
    file.write("</CONT>\n");
    file.close();
    KestruneCore core(folder);
    const auto *model = qobject_cast<QAbstractItemModel *>(core.openLog(folder, "Cut"));
    QVERIFY(model);
    QVERIFY(model->index(0, 0)
                .data(LogModel::messageRole)
                .toString()
                .endsWith("x [cut: line of 68 MB]"));
    QCOMPARE(core.logStatus(folder, "Cut"), QString("1 line was longer than 64 MiB and was cut."));
    QVERIFY(file.remove());
}

// A row reads only the start of a record of megabytes, and the detail window no more than it
// shows; the message role and recordAt still give the whole message.
void TestLogSearches::hugeMessageIsReadWholeOnlyWhenAskedFor()
{
    const QString huge = QString(1'000'000, 'x') + " needle";
    QVERIFY(
        writeLogFile(folder + "/Huge_1.log", {{at(1), "first"}, {at(3), huge}, {at(5), "last"}}));
    KestruneCore core(folder);
    const auto *model = qobject_cast<QAbstractItemModel *>(core.openLog(folder, "Huge"));
    QVERIFY(model);
    QCOMPARE(model->index(1, 0).data(LogModel::dateTimeRole).toString(), at(3));
    QCOMPARE(model->index(1, 0).data(LogModel::messageRole).toString(), huge);
    QCOMPARE(core.recordAt(folder, "Huge", 1).value("messageRole").toString(), huge);

    const QVariantMap part = core.recordPreviewAt(folder, "Huge", 1, 1000);
    QCOMPARE(part.value("dateTimeRole").toString(), at(3));
    QCOMPARE(part.value("messageRole").toString(), huge.left(1000));
    QVERIFY(part.value("messageCut").toBool());
    QVERIFY(part.value("recordBytes").toLongLong() > huge.size());
    const QVariantMap whole = core.recordPreviewAt(folder, "Huge", 2, 1000);
    QCOMPARE(whole.value("messageRole").toString(), QString("last"));
    QVERIFY(!whole.value("messageCut").toBool());
    QVERIFY(core.recordPreviewAt(folder, "Huge", 3, 1000).isEmpty());
}

void TestLogSearches::largeLogAgreesWithTheWalk()
{
    KestruneCore core(folder);
    auto *model = qobject_cast<QAbstractItemModel *>(core.openLog(folder, "Big"));
    QVERIFY(model);
    const int count = model->rowCount();
    const QString lastDate = model->index(count - 1, 0).data(LogModel::dateTimeRole).toString();
    const QString lastWords
        = model->index(count - 1, 0).data(LogModel::searchTextRole).toString().right(7);
    const QStringList texts {"error", "Connection", "packets", "retry 3", "x", "qq", "", lastWords,
        "no such text in any record", "zzzinfozzz"};
    const QList<int> starts {0, 1, count / 3, count - 1, count};
    const QStringList dates {"", "2023/02/28 00:00:05", "2023/02/28 01", lastDate, "2023/03"};
    QRandomGenerator random(3);
    for (int pass = 0; pass < 3; ++pass) {
        if (pass == 1)
            core.containsOnly({"error", "fatal"});
        if (pass == 2)
            core.containsAll({"connection", "camera"});
        const int visible = model->rowCount();
        for (const QString &text : texts) {
            for (const int startsAt : starts) {
                const int start = std::min(startsAt, visible);
                QCOMPARE(
                    core.findNext(folder, "Big", start, text), walkFindNext(*model, start, text));
                QCOMPARE(core.findPrevious(folder, "Big", start - 1, text),
                    walkFindPrevious(*model, start - 1, text));
            }
        }
        for (const QString &date : dates)
            QCOMPARE(core.findDate(folder, "Big", date), walkFindDate(*model, date));
        for (int i = 0; i < 20; ++i) {
            const int line = int(random.bounded(count + 2)) - 1;
            QCOMPARE(core.getIndex(folder, "Big", line), walkGetIndex(*model, line));
        }
    }
}

// The count runs on a worker and covers the rows visible when it started.
void TestLogSearches::matchesAreCountedInTheBackground()
{
    KestruneCore core(folder);
    auto *model = qobject_cast<QAbstractItemModel *>(core.openLog(folder, "Big"));
    QVERIFY(model);
    core.containsOnly({"error", "fatal"});
    const int visible = model->rowCount();
    int walked = 0;
    for (int row = 0; row < visible; ++row)
        walked
            += model->index(row, 0).data(LogModel::searchTextRole).toString().contains("connection")
            ? 1
            : 0;
    QVERIFY(walked > 0);
    std::unique_ptr<QObject> count(core.countMatchesAsync(folder, "Big", "CONNECTION"));
    QVERIFY(count);
    QSignalSpy finished(count.get(), SIGNAL(finished()));
    // A filter change meanwhile does not change what is counted.
    core.containsOnly({});
    QVERIFY(finished.wait(60000));
    QCOMPARE(count->property("matches").toInt(), walked);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QCOMPARE(count->property("text").toString(),
        english.toString(walked) + " of " + english.toString(visible));

    QVERIFY(core.openLog(folder, "Small"));
    std::unique_ptr<QObject> small(core.countMatchesAsync(folder, "Small", "needle"));
    QSignalSpy smallFinished(small.get(), SIGNAL(finished()));
    QVERIFY(smallFinished.wait());
    QCOMPARE(small->property("text").toString(), QString("2 of 5"));
    QCOMPARE(core.countMatchesAsync(folder, "Nothing", "needle"), nullptr);
}

// The finds that do not block give the rows that findNext and findPrevious give when they
// start, among the rows visible then, whatever happens to the log meanwhile.
void TestLogSearches::findsInTheBackgroundAsTheSynchronousFinds()
{
    KestruneCore core(folder);
    auto *model = qobject_cast<QAbstractItemModel *>(core.openLog(folder, "Big"));
    QVERIFY(model);
    core.containsOnly({"error", "fatal"});
    const int visible = model->rowCount();
    // -2 for a find that never finished.
    const auto rowFound = [](const std::unique_ptr<QObject> &find) {
        const bool done = QTest::qWaitFor([&] { return find->property("done").toBool(); }, 60000);
        return done ? find->property("row").toInt() : -2;
    };
    for (const QString text : {"CONNECTION", "retry 3", "no such text in any record"}) {
        for (const int start : {0, visible / 2, visible}) {
            const std::unique_ptr<QObject> next(core.findNextAsync(folder, "Big", start, text));
            const std::unique_ptr<QObject> previous(
                core.findPreviousAsync(folder, "Big", start - 1, text));
            QVERIFY(next && previous);
            QCOMPARE(rowFound(next), core.findNext(folder, "Big", start, text));
            QCOMPARE(rowFound(previous), core.findPrevious(folder, "Big", start - 1, text));
        }
    }
    const int expected = core.findNext(folder, "Big", visible / 2, "connection");
    QVERIFY(expected >= 0);
    const std::unique_ptr<QObject> filtered(
        core.findNextAsync(folder, "Big", visible / 2, "connection"));
    core.containsOnly({});
    QCOMPARE(rowFound(filtered), expected);
    const std::unique_ptr<QObject> closed(core.findPreviousAsync(folder, "Big", 0, "connection"));
    core.closeLog(folder, "Big");
    QVERIFY(rowFound(closed) >= 0);
    QCOMPARE(core.findNextAsync(folder, "Big", 0, "connection"), nullptr);
}

void TestLogSearches::dateOfAnotherFormIsTold()
{
    KestruneCore core(folder);
    QVERIFY(core.openLog(folder, "Small"));
    const QString first = core.recordAt(folder, "Small", 0).value("dateTimeRole").toString();
    for (const QString &fits :
        QStringList {"", "2023", "2023/02/28 13:30", "1999/12/31 23:59:59.9999"})
        QCOMPARE(core.unmatchableDateForm(folder, "Small", fits), QString());
    for (const QString &other : QStringList {"2023-02-28 13:30", "15:00", "28.02.2023", "x"})
        QCOMPARE(core.unmatchableDateForm(folder, "Small", other), first);
    QVERIFY(core.openLog(folder, "Empty"));
    QCOMPARE(core.unmatchableDateForm(folder, "Empty", "15:00"), QString());
}

void TestLogSearches::findNextAtPieceEdges_data()
{
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("row");
    QTest::newRow("last of the first piece") << 2 << 8191;
    QTest::newRow("first of the second piece") << 2 << 8192;
    QTest::newRow("last of the second piece, 3 threads") << 3 << 16383;
    QTest::newRow("first of the third piece, 1 thread") << 1 << 16384;
    QTest::newRow("last row, 5 threads") << 5 << edgeRows - 1;
}

void TestLogSearches::findNextAtPieceEdges()
{
    QFETCH(int, threads);
    QFETCH(int, row);
    setThreadCount(size_t(threads));
    const auto machineThreads = qScopeGuard([] { setThreadCount(0); });
    KestruneCore core(folder);
    QVERIFY(core.openLog(folder, "Edges"));
    const QString text = QStringLiteral("MARK %1").arg(row);
    QCOMPARE(core.findNext(folder, "Edges", 0, text), row);
    // From the row after it the search wraps around to it.
    QCOMPARE(core.findNext(folder, "Edges", (row + 1) % edgeRows, text), row);
    QCOMPARE(core.findNext(folder, "Edges", 100, "mark"), 8191);
}

QTEST_GUILESS_MAIN(TestLogSearches)
#include "tst_logsearches.moc"
