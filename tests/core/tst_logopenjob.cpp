// Opening, reloading, cancelling and closing logs through the core without blocking: what
// each log's OpenLog reports, what ends up open, and that a stopped load leaves nothing behind.
#include "kestrunecore.h"
#include "loggenerator.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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

OpenLog *openLogOf(QObject *object)
{
    return qobject_cast<OpenLog *>(object);
}

} // namespace

class TestLogOpenJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openInBackgroundReportsProgressAndShowsTheLog();
    void loadsTakeTheirFilterOnTheWorker();
    void stoppingALoadLeavesNoTrace_data();
    void stoppingALoadLeavesNoTrace();
    void reloadKeepsTheOldModelsUntilTheNewOnesAreThere();
    void failedReloadKeepsWhatWasShown();
    void closeInBackgroundUnregistersAtOnce();
    void openOfAMissingLogFinishesWithTheReason();
    void searchTextsAreTakenOffTheInterfaceThread();

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

void TestLogOpenJob::openInBackgroundReportsProgressAndShowsTheLog()
{
    KestruneCore core(config.path());
    OpenLog *log = openLogOf(core.openLogAsync(folder, QStringLiteral("Big")));
    QVERIFY(log);
    QCOMPARE(core.openLogAsync(folder, QStringLiteral("Big")), log);
    QCOMPARE(log->stateName(), QStringLiteral("loading"));
    QVERIFY(!log->isReloading());
    QVERIFY(!log->model());
    QVERIFY(core.logRecordCounts(folder, QStringLiteral("Big")).isEmpty());
    QList<double> reads;
    connect(log, &OpenLog::progressChanged, this, [&] { reads.append(log->bytesRead()); });
    QSignalSpy models(log, &OpenLog::modelChanged);
    QSignalSpy finished(log, &OpenLog::loadFinished);

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, loadTimeoutMs);
    QCOMPARE(finished[0][0].toBool(), false);
    QCOMPARE(models.count(), 1);
    QCOMPARE(log->state(), OpenLog::State::ready);
    QVERIFY(log->openMilliseconds() > 0);
    QVERIFY(!reads.isEmpty());
    for (qsizetype i = 1; i < reads.size(); ++i)
        QVERIFY(reads[i] >= reads[i - 1]);
    QCOMPARE(reads.constLast(), double(folderBytes(folder)));
    QCOMPARE(log->totalBytes(), double(folderBytes(folder)));

    // Open now: the same object, and no other load.
    QCOMPARE(core.openLogAsync(folder, QStringLiteral("Big")), log);
    QCOMPARE(log->state(), OpenLog::State::ready);
    QObject *model = core.openLog(folder, QStringLiteral("Big"));
    QCOMPARE(model, log->model());
    QCOMPARE(rowsOf(model), records);
    // The window of rows that the record list shows covers the whole log.
    QCOMPARE(log->rows()->property("sourceCount").toLongLong(), records);
    QCOMPARE(log->rows()->property("sourceModel").value<QObject *>(), model);
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
    // A filter change in the core reaches the counts and the status line.
    QSignalSpy counted(log, &OpenLog::countsChanged);
    core.containsOnly({QStringLiteral("error")});
    QVERIFY(!counted.isEmpty());
    QVERIFY(log->isFiltered());
    QCOMPARE(core.logRecordCounts(folder, QStringLiteral("Big"))
                 .value(QStringLiteral("filtered"))
                 .toBool(),
        true);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QVERIFY2(log->statusText().startsWith(
                 QStringLiteral("%1 of %2 records · filter active · "
                                "opened in ")
                     .arg(english.toString(log->shownRecords()), english.toString(records))),
        qPrintable(log->statusText()));
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
    OpenLog *log = openLogOf(core.openLogAsync(folder, name, texts, false, false));
    QVERIFY(log);
    QSignalSpy finished(log, &OpenLog::loadFinished);
    for (const bool reload : {false, true}) {
        const bool onlyErrors = reload;
        syncCore.filterLog(folder, name, texts, false, onlyErrors);
        if (reload) {
            QCOMPARE(core.reloadLogAsync(folder, name, texts, false, onlyErrors), log);
            QVERIFY(log->isReloading());
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), int(reload) + 1, loadTimeoutMs);
        QCOMPARE(finished.constLast()[0].toBool(), reload);
        const auto *shown = qobject_cast<const QAbstractItemModel *>(core.openLog(folder, name));
        QCOMPARE(shown, log->model());
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
    const QPointer<OpenLog> log = openLogOf(core.openLogAsync(folder, name));
    QVERIFY(log);
    const QPointer<LogOpenJob> job = log->job();
    QVERIFY(job);
    QSignalSpy finished(log, &OpenLog::loadFinished);
    QSignalSpy states(log, &OpenLog::stateChanged);
    int stops = 0;
    connect(log, &OpenLog::progressChanged, &core, [&] {
        if (stops++ == 0)
            QMetaObject::invokeMethod(
                &core, stop.toUtf8().constData(), Q_ARG(QString, folder), Q_ARG(QString, name));
    });
    QTRY_VERIFY_WITH_TIMEOUT(job.isNull(), loadTimeoutMs);
    QCOMPARE(stops, 1);
    // Nothing arrives after the job has gone either. A synchronous open shows its own load.
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), open ? 1 : 0);
    QCOMPARE(core.logRecordCounts(folder, name).isEmpty(), !open);
    QCOMPARE(core.logStatus(folder, name), QString());
    if (open) {
        QCOMPARE(log->state(), OpenLog::State::ready);
        QCOMPARE(rowsOf(core.openLog(folder, name)), records);
        return;
    }
    // Stopped before it had rows, the log is no longer open; its object waits for the key.
    QVERIFY(!states.isEmpty());
    QVERIFY(log->state() == OpenLog::State::cancelled || log->state() == OpenLog::State::closed);
    QVERIFY(!log->model());
    QCOMPARE(core.openLogAsync(folder, name), log.data());
    QCOMPARE(log->state(), OpenLog::State::loading);
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

    OpenLog *log = openLogOf(core.reloadLogAsync(small.path(), QStringLiteral("Small")));
    QVERIFY(log);
    QSignalSpy finished(log, &OpenLog::loadFinished);
    const LogOpenJob *job = log->job();
    QVERIFY(job);
    QVERIFY(log->isReloading());
    QVERIFY(log->statusText().contains(QStringLiteral("reloading")));
    // A second reload while one runs is the same load.
    QCOMPARE(core.reloadLogAsync(small.path(), QStringLiteral("Small")), log);
    QCOMPARE(log->job(), job);
    QCOMPARE(core.openLog(small.path(), QStringLiteral("Small")), before.data());
    QCOMPARE(log->model(), before.data());

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, loadTimeoutMs);
    QCOMPARE(finished[0][0].toBool(), true);
    QObject *after = core.openLog(small.path(), QStringLiteral("Small"));
    QVERIFY(after != before.data());
    QCOMPARE(log->model(), after);
    QCOMPARE(rowsOf(after), rowsBefore + 1);
    QCOMPARE(log->rows()->property("sourceCount").toInt(), rowsBefore + 1);
    QVERIFY(before.isNull());
}

// A reload that finds none of the log's files, after a rotation or a rename, keeps the models
// and says why; asked again, it loads the files once they are back.
void TestLogOpenJob::failedReloadKeepsWhatWasShown()
{
    QTemporaryDir rotated;
    const QString name = QStringLiteral("Rotated");
    const qint64 written = LogGenerator(6).writeLog(rotated.path(), name, 1, 100000);
    QVERIFY(written > 0);
    KestruneCore core(config.path());
    QObject *model = core.openLog(rotated.path(), name);
    OpenLog *log = openLogOf(core.openLogAsync(rotated.path(), name));
    QVERIFY(log && model);
    QVERIFY(QDir(rotated.path()).removeRecursively());

    QSignalSpy finished(log, &OpenLog::loadFinished);
    QCOMPARE(core.reloadLogAsync(rotated.path(), name), log);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, loadTimeoutMs);
    QCOMPARE(log->state(), OpenLog::State::failed);
    QCOMPARE(log->failureReason(), QStringLiteral("none of its files were found"));
    QCOMPARE(core.openLog(rotated.path(), name), model);
    QCOMPARE(log->model(), model);
    QCOMPARE(rowsOf(model), written);
    QCOMPARE(core.logRecordCounts(rotated.path(), name).value(QStringLiteral("total")).toLongLong(),
        written);
    QVERIFY2(log->statusText().endsWith(
                 QStringLiteral(" · reload failed: none of its files were found")),
        qPrintable(log->statusText()));
    // The line above the records still says only what the open met.
    QCOMPARE(core.logStatus(rotated.path(), name), QString());

    QVERIFY(QDir().mkpath(rotated.path()));
    QVERIFY(LogGenerator(7).writeLog(rotated.path(), name, 2, 100000) > 0);
    QCOMPARE(core.reloadLogAsync(rotated.path(), name), log);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, loadTimeoutMs);
    QCOMPARE(log->state(), OpenLog::State::ready);
    QVERIFY(log->model() != model);
    QVERIFY(log->statusText().contains(QStringLiteral("opened in")));
}

void TestLogOpenJob::closeInBackgroundUnregistersAtOnce()
{
    KestruneCore core(config.path());
    const QPointer<QObject> model = core.openLog(folder, QStringLiteral("Big"));
    QVERIFY(model);
    const QPointer<OpenLog> log = openLogOf(core.openLogAsync(folder, QStringLiteral("Big")));
    core.closeLogAsync(folder, QStringLiteral("Big"));
    QVERIFY(model.isNull());
    QVERIFY(!log->model());
    QVERIFY(core.logRecordCounts(folder, QStringLiteral("Big")).isEmpty());
    // The object stays, closed, for whoever holds it, and serves the key again.
    QCOMPARE(log->state(), OpenLog::State::closed);
    QCOMPARE(log->statusText(), QString());
    QCOMPARE(log->rows()->property("sourceCount").toInt(), 0);
    QVERIFY(core.openLog(folder, QStringLiteral("Big")));
    QCOMPARE(core.openLogAsync(folder, QStringLiteral("Big")), log.data());
    QCOMPARE(log->state(), OpenLog::State::ready);
    // The core waits for the record model's end when it goes itself.
}

void TestLogOpenJob::openOfAMissingLogFinishesWithTheReason()
{
    KestruneCore core(config.path());
    OpenLog *log = openLogOf(core.openLogAsync(folder, QStringLiteral("Nothing")));
    QVERIFY(log);
    QSignalSpy finished(log, &OpenLog::loadFinished);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, loadTimeoutMs);
    QCOMPARE(log->state(), OpenLog::State::failed);
    QVERIFY(!log->model());
    const QString reason = QStringLiteral("Could not open this log: none of its files were found.");
    QCOMPARE(log->notice(), reason);
    QCOMPARE(core.logStatus(folder, QStringLiteral("Nothing")), reason);
    QCOMPARE(log->statusText(), QString());
    QVERIFY(!core.openLog(folder, QStringLiteral("Nothing")));
}

// A worker waits for a new log's search texts and tells the log; a background filter pass
// waits there as well, and the calls return without waiting.
void TestLogOpenJob::searchTextsAreTakenOffTheInterfaceThread()
{
    KestruneCore core(config.path());
    (void)core.openLog(folder, QStringLiteral("Big"));
    auto *log = openLogOf(core.openLogAsync(folder, QStringLiteral("Big")));
    QVERIFY(log);
    QSignalSpy ready(log, &OpenLog::searchTextsReadyChanged);
    QSignalSpy filtered(log, &OpenLog::filtered);
    const int generation = core.filterLogsAsync({QStringLiteral("camera")}, false, false);
    QVERIFY(log->isFilterPending());
    QCOMPARE(rowsOf(log->model()), records);
    QTRY_COMPARE_WITH_TIMEOUT(filtered.count(), 1, loadTimeoutMs);
    QCOMPARE(filtered[0][0].toInt(), generation);
    QVERIFY(!log->isFilterPending());
    QVERIFY(log->searchTextsReady());
    QVERIFY(core.searchTextsReady());
    QVERIFY(ready.count() >= 1);
    const int cameras = rowsOf(log->model());
    QVERIFY(cameras > 0 && cameras < records);
    QCOMPARE(core.findNext(folder, QStringLiteral("Big"), 0, QStringLiteral("CAMERA")), 0);
}

QTEST_GUILESS_MAIN(TestLogOpenJob)
#include "tst_logopenjob.moc"
