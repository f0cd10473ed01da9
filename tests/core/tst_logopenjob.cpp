// Opening, reloading, cancelling and closing logs through the core without blocking: what
// the signals report, what ends up registered, and that a stopped load leaves nothing behind.
#include "kestrunecore.h"
#include "loggenerator.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

// Generous: a sanitizer build parses many times slower.
constexpr int loadTimeoutMs = 120000;

qint64 folderBytes(const QString &folder)
{
    qint64 total = 0;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo &file : files)
        total += file.size();
    return total;
}

int rowsOf(QObject *model)
{
    const auto *items = qobject_cast<const QAbstractItemModel *>(model);
    return items ? items->rowCount() : -1;
}

} // namespace

class TestLogOpenJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openInBackgroundReportsProgressAndRegistersTheLog();
    void loadsTakeTheirFilterOnTheWorker();
    void stoppingALoadLeavesNoTrace_data();
    void stoppingALoadLeavesNoTrace();
    void reloadKeepsTheOldModelsUntilTheNewOnesAreThere();
    void closeInBackgroundUnregistersAtOnce();
    void openOfAMissingLogFinishesWithTheReason();

private:
    QTemporaryDir config;
    QTemporaryDir logs;
    QString folder;
    qint64 records = 0;
};

void TestLogOpenJob::initTestCase()
{
    folder = logs.path();
    records = LogGenerator(3).writeLog(folder, QStringLiteral("Big"), 3, 24 << 20);
    QVERIFY(records > 10000);
}

void TestLogOpenJob::openInBackgroundReportsProgressAndRegistersTheLog()
{
    KestruneCore core(config.path());
    QSignalSpy progress(&core, &KestruneCore::logLoadProgress);
    QSignalSpy finished(&core, &KestruneCore::logLoadFinished);
    QObject *job = core.openLogAsync(folder, QStringLiteral("Big"));
    QVERIFY(job);
    QCOMPARE(core.openLogAsync(folder, QStringLiteral("Big")), job);
    QVERIFY(core.logRecordCounts(folder, QStringLiteral("Big")).isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, loadTimeoutMs);
    QCOMPARE(finished[0][0].toString(), folder);
    QCOMPARE(finished[0][2].toBool(), true);
    QVERIFY(finished[0][3].toDouble() > 0);
    QVERIFY(!progress.isEmpty());
    double last = 0;
    for (const QList<QVariant> &step : progress) {
        QVERIFY(step[2].toDouble() >= last);
        last = step[2].toDouble();
    }
    QCOMPARE(progress.constLast()[2].toDouble(), double(folderBytes(folder)));
    QCOMPARE(progress.constLast()[3].toDouble(), double(folderBytes(folder)));

    QVERIFY(!core.openLogAsync(folder, QStringLiteral("Big")));
    QObject *model = core.openLog(folder, QStringLiteral("Big"));
    QCOMPARE(rowsOf(model), records);
    const QVariantMap counts = core.logRecordCounts(folder, QStringLiteral("Big"));
    QCOMPARE(counts.value(QStringLiteral("shown")).toLongLong(), records);
    QCOMPARE(counts.value(QStringLiteral("total")).toLongLong(), records);
    QCOMPARE(counts.value(QStringLiteral("filtered")).toBool(), false);
    // Built on a worker, the models now belong to this thread and to the core.
    QCOMPARE(model->thread(), QThread::currentThread());
    QCOMPARE(model->parent(), &core);

    // The same rows as the synchronous open.
    KestruneCore syncCore(config.path());
    const auto *syncModel
        = qobject_cast<const QAbstractItemModel *>(syncCore.openLog(folder, QStringLiteral("Big")));
    const auto *asyncModel = qobject_cast<const QAbstractItemModel *>(model);
    for (int row : {0, 1, int(records / 2), int(records - 1)}) {
        for (int role : {Qt::UserRole + 1, Qt::UserRole + 7, Qt::UserRole + 8})
            QCOMPARE(asyncModel->index(row, 0).data(role), syncModel->index(row, 0).data(role));
    }
    core.containsOnly({QStringLiteral("error")});
    QCOMPARE(core.logRecordCounts(folder, QStringLiteral("Big"))
                 .value(QStringLiteral("filtered"))
                 .toBool(),
        true);
}

// The log arrives with the rows that filterLog would give it: an open with a text filter and a
// reload with the errors-only switch.
void TestLogOpenJob::loadsTakeTheirFilterOnTheWorker()
{
    const QString name = QStringLiteral("Big");
    const QVariantList texts {QStringLiteral("camera"), QStringLiteral("disk")};
    KestruneCore syncCore(config.path());
    const auto *expected = qobject_cast<const QAbstractItemModel *>(syncCore.openLog(folder, name));
    KestruneCore core(config.path());
    QSignalSpy finished(&core, &KestruneCore::logLoadFinished);
    for (const bool reload : {false, true}) {
        const bool onlyErrors = reload;
        syncCore.filterLog(folder, name, texts, false, onlyErrors);
        QVERIFY(reload ? core.reloadLogAsync(folder, name, texts, false, onlyErrors)
                       : core.openLogAsync(folder, name, texts, false, onlyErrors));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), int(reload) + 1, loadTimeoutMs);
        const auto *shown = qobject_cast<const QAbstractItemModel *>(core.openLog(folder, name));
        QVERIFY(expected->rowCount() > 0 && expected->rowCount() < records);
        QCOMPARE(shown->rowCount(), expected->rowCount());
        for (int row : {0, expected->rowCount() / 2, expected->rowCount() - 1}) {
            QCOMPARE(shown->index(row, 0).data(Qt::UserRole + 8),
                expected->index(row, 0).data(Qt::UserRole + 8));
        }
    }
}

// Each way of stopping a load is taken at its first progress report, from inside the signal,
// while the worker is reading; the last row opens the log itself instead.
void TestLogOpenJob::stoppingALoadLeavesNoTrace_data()
{
    QTest::addColumn<QString>("stop");
    QTest::addColumn<bool>("open");
    QTest::newRow("cancelLoad") << QStringLiteral("cancelLoad") << false;
    QTest::newRow("closeLog") << QStringLiteral("closeLog") << false;
    QTest::newRow("closeLogAsync") << QStringLiteral("closeLogAsync") << false;
    QTest::newRow("openLog") << QStringLiteral("openLog") << true;
}

void TestLogOpenJob::stoppingALoadLeavesNoTrace()
{
    QFETCH(QString, stop);
    QFETCH(bool, open);
    KestruneCore core(config.path());
    const QString name = QStringLiteral("Big");
    QSignalSpy finished(&core, &KestruneCore::logLoadFinished);
    int stops = 0;
    connect(&core, &KestruneCore::logLoadProgress, &core, [&] {
        if (stops++ == 0)
            QMetaObject::invokeMethod(
                &core, stop.toUtf8().constData(), Q_ARG(QString, folder), Q_ARG(QString, name));
    });
    const QPointer<QObject> job = core.openLogAsync(folder, name);
    QVERIFY(job);
    QTRY_VERIFY_WITH_TIMEOUT(job.isNull(), loadTimeoutMs);
    QCOMPARE(stops, 1);
    // Nothing arrives after the job has gone either.
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 0);
    QCOMPARE(core.logRecordCounts(folder, name).isEmpty(), !open);
    QCOMPARE(core.logStatus(folder, name), QString());
    if (open)
        QCOMPARE(rowsOf(core.openLog(folder, name)), records);
}

void TestLogOpenJob::reloadKeepsTheOldModelsUntilTheNewOnesAreThere()
{
    QTemporaryDir small;
    QVERIFY(LogGenerator(5).writeLog(small.path(), QStringLiteral("Small"), 2, 200000) > 0);
    KestruneCore core(config.path());
    const QPointer<QObject> before = core.openLog(small.path(), QStringLiteral("Small"));
    const int rowsBefore = rowsOf(before);
    QFile late(small.filePath(QStringLiteral("Small_2.log")));
    QVERIFY(late.open(QIODevice::Append));
    QVERIFY(late.write(LogGenerator(9).nextRecord(365LL * 24 * 3600 * 1000)) > 0);
    late.close();

    QSignalSpy finished(&core, &KestruneCore::logLoadFinished);
    QObject *job = core.reloadLogAsync(small.path(), QStringLiteral("Small"));
    QVERIFY(job);
    // A second reload while one runs is the same load.
    QCOMPARE(core.reloadLogAsync(small.path(), QStringLiteral("Small")), job);
    QCOMPARE(core.openLog(small.path(), QStringLiteral("Small")), before.data());

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, loadTimeoutMs);
    QObject *after = core.openLog(small.path(), QStringLiteral("Small"));
    QVERIFY(after != before.data());
    QCOMPARE(rowsOf(after), rowsBefore + 1);
    QVERIFY(before.isNull());
}

void TestLogOpenJob::closeInBackgroundUnregistersAtOnce()
{
    KestruneCore core(config.path());
    const QPointer<QObject> model = core.openLog(folder, QStringLiteral("Big"));
    QVERIFY(model);
    core.closeLogAsync(folder, QStringLiteral("Big"));
    QVERIFY(model.isNull());
    QVERIFY(core.logRecordCounts(folder, QStringLiteral("Big")).isEmpty());
    // The core waits for the record model's end when it goes itself.
}

void TestLogOpenJob::openOfAMissingLogFinishesWithTheReason()
{
    KestruneCore core(config.path());
    QSignalSpy finished(&core, &KestruneCore::logLoadFinished);
    QVERIFY(core.openLogAsync(folder, QStringLiteral("Nothing")));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, loadTimeoutMs);
    QCOMPARE(finished[0][2].toBool(), false);
    QCOMPARE(core.logStatus(folder, QStringLiteral("Nothing")),
        QStringLiteral("Could not open this log: none of its files were found."));
}

QTEST_GUILESS_MAIN(TestLogOpenJob)
#include "tst_logopenjob.moc"
