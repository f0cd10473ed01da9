// Opening, merging, numbering, filtering and closing logs through the core.
#include "foldercatalogue.h"
#include "kestrunecore.h"
#include "logfiltermodel.h"
#include "logmodel.h"
#include "logrecordloader.h"
#include "parallelfor.h"
#include "testlogs.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QJSEngine>
#include <QPointer>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using Row = std::pair<QString, int>;

QAbstractItemModel *modelOf(QObject *object)
{
    return qobject_cast<QAbstractItemModel *>(object);
}

// Each visible row as (message, record number).
QList<Row> rowsOf(QObject *object)
{
    QAbstractItemModel *model = modelOf(object);
    QList<Row> rows;
    for (int row = 0; model && row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        rows.append(
            {index.data(LogModel::messageRole).toString(), index.data(LogModel::lineRole).toInt()});
    }
    return rows;
}

QStringList messagesOf(QObject *object)
{
    QStringList messages;
    for (const Row &row : rowsOf(object))
        messages.append(row.first);
    return messages;
}

QString at(int second)
{
    return QStringLiteral("2023/02/28 10:00:%1.000").arg(second, 2, 10, QLatin1Char('0'));
}

// Three files whose records interleave in time, with equal times across files.
bool writeInterleavedLog(const QString &folder)
{
    const bool first
        = writeLogFile(folder + "/Mix_1.log", {{at(1), "a1"}, {at(4), "a4"}, {at(7), "a7"}});
    const bool second
        = writeLogFile(folder + "/Mix_2.log", {{at(2), "b2"}, {at(4), "b4"}, {at(8), "b8"}});
    const bool third
        = writeLogFile(folder + "/sub/Mix_3.log", {{at(0), "c0"}, {at(4), "c4"}, {at(9), "c9"}});
    return first && second && third;
}

// Opens a log whose one file cannot be read and a log with one readable and one unreadable
// file; prints what it saw.
int runUnreadableChild(const QString &folder)
{
    QFile locked(folder + "/Locked_1.log");
    std::printf("readable:%d\n", int(locked.open(QIODevice::ReadOnly)));
    KestruneCore core(folder);
    QObject *lockedModel = core.openLog(folder, "Locked");
    std::printf("locked:%d:%d\n", int(lockedModel != nullptr), int(rowsOf(lockedModel).size()));
    std::printf("locked find:%d:%d\n", core.findDate(folder, "Locked", ""),
        core.getIndex(folder, "Locked", 0));
    std::printf("half:%s\n", qPrintable(messagesOf(core.openLog(folder, "Half")).join(',')));
    for (const char *log : {"Locked", "Half"})
        std::printf("%s says:%s\n", log, qPrintable(core.logStatus(folder, log)));
    return 0;
}

// Opens a log that cannot fit in the memory this process may use, then a small one, which it
// filters and searches for a text whose lower-case copy cannot fit; prints what it saw.
int runOutOfMemoryChild(const QString &folder)
{
    KestruneCore core(folder);
    const QString huge(64 << 20, QLatin1Char('X'));
    // Room for the small log and the threads, not for a line of a hundred million bytes.
    QFile status("/proc/self/statm");
    if (!status.open(QIODevice::ReadOnly))
        return 3;
    const qint64 pages = status.readAll().split(' ').front().toLongLong();
    const rlim_t limit = rlim_t(pages * sysconf(_SC_PAGESIZE) + (96 << 20));
    const rlimit bound {limit, limit};
    if (setrlimit(RLIMIT_AS, &bound) != 0)
        return 4;
    // Prints a result, then what the core says about the log afterwards.
    const auto report = [&](const char *label, int result, const char *name) {
        const QString said = core.logStatus(folder, name).replace('\n', '|');
        std::printf("%s:%d:%s\n", label, result, qPrintable(said));
    };
    report("huge", int(core.openLog(folder, "Huge") != nullptr), "Huge");
    report("huge again", int(core.openLog(folder, "Huge") != nullptr), "Huge");
    QObject *small = core.openLog(folder, "Small");
    std::printf("small:%s\n", qPrintable(messagesOf(small).join(',')));
    // Ends the process on a reset begun and not ended, or rows that do not add up.
    QAbstractItemModelTester tester(
        modelOf(small), QAbstractItemModelTester::FailureReportingMode::Fatal);
    core.containsOnly({huge});
    report("filtered", modelOf(small)->rowCount(), "Small");
    report("found", core.findNext(folder, "Small", 0, huge), "Small");
    core.containsOnly({});
    report("found", core.findNext(folder, "Small", 0, "SMALL"), "Small");
    std::fflush(stdout);
    return 0;
}

} // namespace

class TestOpenLogRegistry : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void openingTwiceGivesTheSameModel();
    void reopeningStartsUnfiltered();
    void mergesFilesInTimeOrderWithStableTies();
    void unsortedFilesGiveTheStableSort();
    void mergeOfManyRuns();
    void logOfManyFiles();
    void singleFileRowOpens();
    void unknownKeysOpenNothing();
    void keysAreExact();
    void fileDeletedAfterTheScan();
    void unreadableFilesAreSkipped();
    void failuresForWantOfMemoryAreSurvivedAndSaid();
    void filtersReachEveryOpenLog();
    void filtersWithNoLogOpenChangeNothing();
    void closeWhileFiltered();
    void filtersInTheBackground();
    void closeKeepsTheOrderOfTheOthers();
    void modelsStayOwnedByTheCore();
    void destructionWithOpenLogs();
    void originalInvokablesKeepTheirNumbers();

private:
    QTemporaryDir dir;
    QString folder;
};

void TestOpenLogRegistry::init()
{
    folder = dir.filePath(QTest::currentTestFunction());
    QVERIFY(QDir().mkpath(folder));
}

void TestOpenLogRegistry::openingTwiceGivesTheSameModel()
{
    QVERIFY(writeInterleavedLog(folder));
    KestruneCore core(folder);
    QObject *model = core.openLog(folder, "Mix");
    QVERIFY(model);
    QAbstractItemModelTester tester(modelOf(model));
    QCOMPARE(modelOf(model)->rowCount(), 9);
    core.containsOnly({"a"});
    QVERIFY(QFile::remove(folder + "/Mix_1.log"));
    QCOMPARE(core.openLog(folder, "Mix"), model);
    QCOMPARE(messagesOf(model), QStringList({"a1", "a4", "a7"}));
}

void TestOpenLogRegistry::reopeningStartsUnfiltered()
{
    QVERIFY(writeInterleavedLog(folder));
    KestruneCore core(folder);
    QPointer<QObject> old = core.openLog(folder, "Mix");
    core.containsOnly({"b"});
    core.showOnlyErrors(true);
    QCOMPARE(modelOf(old)->rowCount(), 0);
    QVERIFY(writeLogFile(folder + "/Mix_4.log", {{at(5), "d5", "Error"}}));
    core.closeLog(folder, "Mix");
    QVERIFY(old.isNull());
    QObject *fresh = core.openLog(folder, "Mix");
    QCOMPARE(modelOf(fresh)->rowCount(), 10);
    QVERIFY(messagesOf(fresh).contains("d5"));
}

void TestOpenLogRegistry::mergesFilesInTimeOrderWithStableTies()
{
    QVERIFY(writeInterleavedLog(folder));
    // Records at the same time come in the order in which the scan found their files.
    QStringList ties;
    const FolderScan scan = FolderCatalogue::scanFolder(folder);
    for (const QFileInfo &file : scan.logs.at("Mix"))
        ties.append(
            QString(QStringLiteral("abc").at(file.baseName().back().digitValue() - 1)) + "4");
    KestruneCore core(folder);
    const QList<Row> rows = rowsOf(core.openLog(folder, "Mix"));
    QCOMPARE(rows,
        QList<Row>({{"c0", 0}, {"a1", 1}, {"b2", 2}, {ties[0], 3}, {ties[1], 4}, {ties[2], 5},
            {"a7", 6}, {"b8", 7}, {"c9", 8}}));
}

void TestOpenLogRegistry::unsortedFilesGiveTheStableSort()
{
    // The second file runs backwards and repeats times, as a clock that was set back does.
    QVERIFY(writeLogFile(folder + "/Back_1.log", {{at(3), "a3"}, {at(3), "a3b"}, {at(6), "a6"}}));
    QVERIFY(writeLogFile(folder + "/Back_2.log",
        {{at(6), "b6"}, {at(3), "b3"}, {at(6), "b6b"}, {at(1), "b1"}, {"", "bempty"}}));
    KestruneCore core(folder);
    QCOMPARE(messagesOf(core.openLog(folder, "Back")),
        QStringList({"bempty", "b1", "a3", "a3b", "b3", "a6", "b6", "b6b"}));
}

void TestOpenLogRegistry::mergeOfManyRuns()
{
    // Runs of different lengths, one empty, with many equal texts: the merge must equal the
    // stable sort of their concatenation. The longer runs span megabytes, whose storage the
    // merge hands back as it goes.
    std::vector<LogRecordLoader::SortedRun> runs;
    quint32 seed = 17;
    for (int run = 0; run < 7; ++run) {
        const int count = run == 2 ? 0 : run * 6000 + 3;
        LogRecordLoader::Records records;
        int time = 0;
        for (int i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            time += int(seed >> 30);
            QarnLogParser::QarnLog log;
            log.dateTime = QStringLiteral("2023/02/28 %1").arg(time, 8, 10, QLatin1Char('0'));
            log.message = QStringLiteral("%1.%2").arg(run).arg(i);
            records.push_back(log);
        }
        runs.push_back(LogRecordLoader::sortedRun(std::move(records)));
    }
    const QString difference = mergeDiffersFromStableSort(std::move(runs));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestOpenLogRegistry::logOfManyFiles()
{
    // 300 small files: 150 whose records are out of order and interleave in time, then 150
    // that follow each other in time, many equal times across files; and two that cannot be
    // read: a folder named like a log file, which does not open, and a file whose read fails.
    QList<QFileInfo> files;
    QList<TestRecord> written;
    quint32 seed = 5;
    for (int file = 0; file < 300; ++file) {
        QList<TestRecord> records;
        for (int i = 0; i <= file % 3; ++i) {
            seed = seed * 1103515245u + 12345u;
            const int second = file < 150 ? int(seed >> 27) : 32 + (file - 150) / 6;
            records.append({at(second), QStringLiteral("%1.%2").arg(file).arg(i)});
        }
        const QString path = folder + QStringLiteral("/Many_%1.log").arg(file);
        QVERIFY(writeLogFile(path, records));
        files.append(QFileInfo(path));
        written.append(records);
    }
    const QStringList unreadable {folder + "/Many_x.log", "/proc/self/mem"};
    QVERIFY(QDir().mkdir(unreadable[0]));
    files.insert(100, QFileInfo(unreadable[0]));
    files.insert(200, QFileInfo(unreadable[1]));
    std::stable_sort(written.begin(), written.end(),
        [](const TestRecord &a, const TestRecord &b) { return a.dateTime < b.dateTime; });

    const LogRecordLoader::LoadedLog loaded = LogRecordLoader::loadLog(files);
    QCOMPARE(loaded.unreadableFiles, unreadable);
    QCOMPARE(loaded.records.size(), size_t(written.size()));
    for (size_t i = 0; i < loaded.records.size(); ++i) {
        QCOMPARE(loaded.records[i].message, written[qsizetype(i)].message);
        QCOMPARE(loaded.records[i].line, qint32(i));
    }
    // Files parsed by one worker share their recurring values instead of a copy each.
    QSet<const QChar *> moduleCopies;
    for (const QarnLogParser::QarnLog &record : loaded.records) {
        QCOMPARE(record.moduleName, QStringLiteral("Module"));
        moduleCopies.insert(record.moduleName.constData());
    }
    QVERIFY2(moduleCopies.size() <= 2 * qsizetype(threadCount()),
        qPrintable(QString::number(moduleCopies.size())));
}

void TestOpenLogRegistry::singleFileRowOpens()
{
    const QString file = folder + "/Solo_1.txt";
    QVERIFY(writeLogFile(file, {{at(2), "second"}, {at(1), "first"}}));
    KestruneCore core(folder);
    core.openFolder(QUrl::fromLocalFile(file));
    const QModelIndex row = modelOf(core.folderModel())->index(0, 0);
    QCOMPARE(messagesOf(core.openLog(
                 row.data(Qt::UserRole + 1).toString(), row.data(Qt::UserRole + 2).toString())),
        QStringList({"first", "second"}));
}

void TestOpenLogRegistry::unknownKeysOpenNothing()
{
    QVERIFY(writeInterleavedLog(folder));
    KestruneCore core(folder);
    QVERIFY(!core.openLog(folder, "Nope"));
    QVERIFY(!core.openLog(folder + "/missing", "Mix"));
    QVERIFY(core.findChildren<QObject *>().isEmpty());
    // Why an open failed is kept, by folder and name, until that log is closed.
    QCOMPARE(core.logStatus(folder, "Nope"),
        QString("Could not open this log: none of its files were found."));
    QCOMPARE(core.logStatus(folder, "Mix"), QString());
    core.closeLog(folder, "Nope");
    QCOMPARE(core.logStatus(folder, "Nope"), QString());
    QVERIFY(!core.logStatus(folder + "/missing", "Mix").isEmpty());
    QCOMPARE(core.findNext(folder, "Nope", 0, ""), -1);
    QCOMPARE(core.findDate(folder, "Nope", ""), -1);
    QCOMPARE(core.getIndex(folder, "Nope", 0), -1);
}

void TestOpenLogRegistry::keysAreExact()
{
    QVERIFY(writeInterleavedLog(folder));
    KestruneCore core(folder);
    QObject *plain = core.openLog(folder, "Mix");
    QObject *slashed = core.openLog(folder + "/", "Mix");
    QVERIFY(plain && slashed && plain != slashed);
    QVERIFY(!core.openLog(folder, "mix"));
    core.containsOnly({"c9"});
    core.closeLog(folder + "/", "Mix");
    QCOMPARE(core.openLog(folder, "Mix"), plain);
    QCOMPARE(messagesOf(plain), QStringList({"c9"}));
}

void TestOpenLogRegistry::fileDeletedAfterTheScan()
{
    QVERIFY(writeInterleavedLog(folder));
    const FolderScan scan = FolderCatalogue::scanFolder(folder);
    QVERIFY(QFile::remove(folder + "/Mix_2.log"));
    const LogRecordLoader::Records records = LogRecordLoader::loadLogRecords(scan.logs.at("Mix"));
    QStringList messages;
    for (const auto &record : records) {
        QCOMPARE(record.line, qint32(messages.size()));
        messages.append(record.message);
    }
    QCOMPARE(messages.size(), 6);
    QCOMPARE(messages.mid(0, 2), QStringList({"c0", "a1"}));
    QCOMPARE(messages.mid(4), QStringList({"a7", "c9"}));
}

void TestOpenLogRegistry::unreadableFilesAreSkipped()
{
    QVERIFY(writeLogFile(folder + "/Locked_1.log", {{at(1), "hidden"}}));
    QVERIFY(writeLogFile(folder + "/Half_1.log", {{at(1), "shown"}}));
    QVERIFY(writeLogFile(folder + "/Half_2.log", {{at(0), "hidden"}}));
    for (const char *name : {"/Locked_1.log", "/Half_2.log"})
        QVERIFY(QFile::setPermissions(folder + name, QFileDevice::Permissions()));
    QStringList command {QCoreApplication::applicationFilePath(), "unreadable-child", folder};
    // As root, reading needs no permission: the child runs without that capability.
    if (geteuid() == 0)
        command = QStringList {"setpriv", "--inh-caps=-all", "--ambient-caps=-all",
                      "--bounding-set=-all", "--"}
            + command;
    QCOMPARE(childOutput(command, QProcessEnvironment::systemEnvironment()),
        QStringList({"readable:0", "locked:1:0", "locked find:-1:-1", "half:shown",
            "Locked says:1 file could not be read: Locked_1.log", "No records in this log.",
            "Half says:1 file could not be read: Half_2.log", "exit:0"}));
}

void TestOpenLogRegistry::failuresForWantOfMemoryAreSurvivedAndSaid()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("The sanitizer's allocator ends the process instead of throwing std::bad_alloc");
#endif
    QVERIFY(writeLogFile(folder + "/Small_1.log", {{at(1), "small"}}));
    QFile huge(folder + "/Huge_1.log");
    QVERIFY(huge.open(QIODevice::WriteOnly));
    huge.write("<HEAD>[12]" + at(1).toUtf8() + " <LN>Info</LN>\n<CONT>");
    const QByteArray block(1 << 20, 'x');
    for (int i = 0; i < 100; ++i)
        QVERIFY(huge.write(block) == block.size());
    huge.close();
    QCOMPARE(childOutput({QCoreApplication::applicationFilePath(), "out-of-memory-child", folder},
                 QProcessEnvironment::systemEnvironment()),
        QStringList({"huge:0:Could not open this log: not enough memory.",
            "huge again:0:Could not open this log: not enough memory.", "small:small",
            "filtered:0:The filter could not run: not enough memory. No records are shown.",
            "found:-1:The filter could not run: not enough memory. No records are shown.|The "
            "search could not run: not enough memory.",
            "found:0:", "exit:0"}));
}

void TestOpenLogRegistry::filtersReachEveryOpenLog()
{
    QVERIFY(writeInterleavedLog(folder));
    QVERIFY(writeLogFile(folder + "/Other_1.log",
        {{at(1), "alpha beta"}, {at(2), "Beta", "Error"}, {at(3), "gamma", "fatal"}}));
    QVERIFY(writeLogFile(folder + "/Late_1.log", {{at(1), "a late"}, {at(2), "zeta"}}));
    KestruneCore core(folder);
    QObject *mix = core.openLog(folder, "Mix");
    QObject *other = core.openLog(folder, "Other");
    core.containsAll({"A", "4"});
    QCOMPARE(messagesOf(mix), QStringList({"a4"}));
    QCOMPARE(messagesOf(other), QStringList());
    core.containsOnly({"BETA", "c9"});
    QCOMPARE(messagesOf(mix), QStringList({"c9"}));
    QCOMPARE(messagesOf(other), QStringList({"alpha beta", "Beta"}));
    core.showOnlyErrors(true);
    QCOMPARE(messagesOf(mix), QStringList());
    QCOMPARE(messagesOf(other), QStringList({"Beta"}));
    QObject *late = core.openLog(folder, "Late");
    QCOMPARE(messagesOf(late), QStringList({"a late", "zeta"}));
    core.showOnlyErrors(false);
    core.containsOnly({});
    QCOMPARE(modelOf(mix)->rowCount(), 9);
    QCOMPARE(modelOf(other)->rowCount(), 3);
}

void TestOpenLogRegistry::filtersWithNoLogOpenChangeNothing()
{
    QVERIFY(writeInterleavedLog(folder));
    KestruneCore core(folder);
    core.containsAll({"a"});
    core.containsOnly({"b"});
    core.showOnlyErrors(true);
    QCOMPARE(modelOf(core.openLog(folder, "Mix"))->rowCount(), 9);
}

void TestOpenLogRegistry::closeWhileFiltered()
{
    QVERIFY(writeInterleavedLog(folder));
    KestruneCore core(folder);
    QPointer<QObject> model = core.openLog(folder, "Mix");
    core.containsOnly({"a"});
    QCOMPARE(core.getIndex(folder, "Mix", 6), 2);
    core.closeLog(folder, "Mix");
    QVERIFY(model.isNull());
    QCOMPARE(core.getIndex(folder, "Mix", 6), -1);
    QCOMPARE(core.findNext(folder, "Mix", 0, "a"), -1);
    core.containsOnly({"b"});
    core.closeLog(folder, "Mix");
}

// The window's filter changes: the logs keep their rows until the latest change's pass is
// installed, one reset each, and each log tells it; a superseded pass leaves no trace, and a
// log closed or reloaded while a pass runs is left out (under AddressSanitizer: never read
// after its end).
void TestOpenLogRegistry::filtersInTheBackground()
{
    QVERIFY(writeInterleavedLog(folder));
    QVERIFY(writeLogFile(folder + "/Other_1.log",
        {{at(1), "alpha beta"}, {at(2), "Beta", "Error"}, {at(3), "gamma", "fatal"}}));
    KestruneCore core(folder);
    QObject *mix = core.openLog(folder, "Mix");
    QPointer<QObject> other = core.openLog(folder, "Other");
    auto *mixLog = qobject_cast<OpenLog *>(core.openLogAsync(folder, "Mix"));
    const QPointer<OpenLog> otherLog = qobject_cast<OpenLog *>(core.openLogAsync(folder, "Other"));
    QVERIFY(mixLog && otherLog);
    QCOMPARE(mixLog->model(), mix);
    // Gone with the model, which the reload below replaces.
    new QAbstractItemModelTester(
        modelOf(mix), QAbstractItemModelTester::FailureReportingMode::QtTest, mix);
    QSignalSpy filtered(mixLog, &OpenLog::filtered);
    QSignalSpy otherFiltered(otherLog, &OpenLog::filtered);
    QSignalSpy resets(modelOf(mix), &QAbstractItemModel::modelReset);

    const int superseded = core.filterLogsAsync({"BETA", "c9"}, false, false);
    const int latest = core.filterLogsAsync({"A", "4"}, true, false);
    QVERIFY(latest != superseded);
    QVERIFY(mixLog->isFilterPending() && otherLog->isFilterPending());
    QCOMPARE(modelOf(mix)->rowCount(), 9);
    QTRY_COMPARE(filtered.size(), 1);
    QCOMPARE(filtered.at(0).at(0).toInt(), latest);
    QTRY_COMPARE(otherFiltered.size(), 1);
    QCOMPARE(otherFiltered.at(0).at(0).toInt(), latest);
    QVERIFY(!mixLog->isFilterPending() && !otherLog->isFilterPending());
    QCOMPARE(resets.size(), 1);
    QCOMPARE(messagesOf(mix), QStringList({"a4"}));
    QCOMPARE(messagesOf(other), QStringList());
    QCOMPARE(core.getIndex(folder, "Mix", 4), 0);

    // A change that leaves a log's filter as it is keeps its rows, with no pass to wait for.
    (void)core.filterLogsAsync({"a", "4"}, true, false);
    QVERIFY(!mixLog->isFilterPending());
    QCoreApplication::processEvents();
    QCOMPARE(filtered.size(), 1);
    QCOMPARE(resets.size(), 1);

    (void)core.filterLogsAsync({"b"}, false, true);
    QCOMPARE(core.reloadLogAsync(folder, "Mix"), mixLog);
    core.closeLogAsync(folder, "Other");
    QVERIFY(other.isNull());
    QTRY_VERIFY(core.logRecordCounts(folder, "Mix").value("total").toInt() == 9
        && core.openLog(folder, "Mix") != mix);
    QTRY_VERIFY(!mixLog->isFilterPending());
    QCOMPARE(messagesOf(core.openLog(folder, "Mix")).size(), 9);
    QCOMPARE(otherFiltered.size(), 1);
    // The same for a pass that a close on the interface thread must wait for.
    (void)core.filterLogsAsync({"a"}, false, false);
    core.closeLog(folder, "Mix");
    QVERIFY(core.logRecordCounts(folder, "Mix").isEmpty());
    QCoreApplication::processEvents();
}

void TestOpenLogRegistry::closeKeepsTheOrderOfTheOthers()
{
    QVERIFY(writeInterleavedLog(folder));
    KestruneCore core(folder);
    QObject *first = core.openLog(folder, "Mix");
    QPointer<QObject> second = core.openLog(folder + "/", "Mix");
    QObject *third = core.openLog(folder + "//", "Mix");
    core.closeLog(folder + "/", "Mix");
    QVERIFY(second.isNull());
    QCOMPARE(core.findChildren<QObject *>(), QList<QObject *>({first, third}));
    QCOMPARE(core.openLog(folder, "Mix"), first);
    QCOMPARE(core.openLog(folder + "//", "Mix"), third);
}

void TestOpenLogRegistry::modelsStayOwnedByTheCore()
{
    QVERIFY(writeInterleavedLog(folder));
    KestruneCore core(folder);
    auto *filter = qobject_cast<QSortFilterProxyModel *>(core.openLog(folder, "Mix"));
    QVERIFY(filter);
    QCOMPARE(filter->parent(), &core);
    QCOMPARE(QJSEngine::objectOwnership(filter), QJSEngine::CppOwnership);
    QVERIFY(filter->sourceModel());
    QVERIFY(!filter->sourceModel()->parent());
}

void TestOpenLogRegistry::destructionWithOpenLogs()
{
    QVERIFY(writeInterleavedLog(folder));
    QList<QPointer<QObject>> models;
    {
        KestruneCore core(folder);
        for (const QString &key : {folder, folder + "/", folder + "//"}) {
            auto *filter = qobject_cast<QSortFilterProxyModel *>(core.openLog(key, "Mix"));
            models << filter << filter->sourceModel();
        }
        core.containsOnly({"a"});
        core.closeLog(folder + "/", "Mix");
    }
    for (const QPointer<QObject> &model : models)
        QVERIFY(model.isNull());
}

// The core declares its original invokables first, in their fixed order (a defaulted
// argument adds a shorter form right after), and no signal or property before them.
void TestOpenLogRegistry::originalInvokablesKeepTheirNumbers()
{
    const QMetaObject &core = KestruneCore::staticMetaObject;
    QCOMPARE(core.className(), "KestruneCore");
    QCOMPARE(core.propertyCount(), core.propertyOffset());
    const QList<QByteArray> original {"openFolder(QUrl)", "folderModel()",
        "openLog(QString,QString)", "closeLog(QString,QString)", "containsOnly(QVariantList)",
        "containsAll(QVariantList)", "showOnlyErrors(bool)",
        "findNext(QString,QString,int,QString)", "findDate(QString,QString,QString)",
        "getIndex(QString,QString,int)", "getSetting(QString,QVariant)", "getSetting(QString)",
        "getStyle(QString,QVariant)", "getStyle(QString)"};
    for (int i = 0; i < original.size(); ++i)
        QCOMPARE(core.method(core.methodOffset() + i).methodSignature(), original[i]);
    for (int i = core.methodOffset(); i < core.methodCount(); ++i)
        QCOMPARE(core.method(i).methodType(), QMetaMethod::Method);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "unreadable-child") == 0)
        return runUnreadableChild(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && qstrcmp(argv[1], "out-of-memory-child") == 0)
        return runOutOfMemoryChild(QString::fromLocal8Bit(argv[2]));
    TestOpenLogRegistry test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_openlogregistry.moc"
