// Starts the built program as a process and checks what it does with its command line.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Outcome
{
    int exitCode = 0;
    QString output;
};

Outcome run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {-1000, QStringLiteral("timed out")};
    }
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

QString writeDocument(const QTemporaryDir &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(body);
    return path;
}

} // namespace

class TestHost : public QObject
{
    Q_OBJECT

private slots:
    void namedDocumentRunsWithTheCore();
    void identityReadsBack();
    void qtOptionsAreNotTheDocument();
    void brokenBuiltInDocumentExitsWithMinusOne();
    void brokenNamedDocumentExitsWithMinusOne();
    void folderArgumentsListTheirLogs();
    void allocatorGivesMemoryBackPromptly();

private:
    QTemporaryDir dir;
};

void TestHost::namedDocumentRunsWithTheCore()
{
    const QString doc = writeDocument(dir, QStringLiteral("exit3.qml"), R"(
import QtQuick
Item {
    Component.onCompleted: {
        console.log("setting:" + kestruneCore.getSetting("noSuchKey", "fallback"))
        Qt.exit(3)
    }
})");
    const Outcome outcome = run(QStringLiteral(KESTRUNE_BIN), {"-platform", "offscreen", doc});
    QCOMPARE(outcome.exitCode, 3);
    QVERIFY2(outcome.output.contains("setting:fallback"), qPrintable(outcome.output));
}

void TestHost::identityReadsBack()
{
    const QString doc = writeDocument(dir, QStringLiteral("identity.qml"), R"(
import QtQuick
Item {
    Component.onCompleted: {
        console.log("identity:" + [Qt.application.name, Qt.application.organization,
                                   Qt.application.domain].join("|"))
        Qt.exit(0)
    }
})");
    const Outcome outcome = run(QStringLiteral(KESTRUNE_BIN), {"-platform", "offscreen", doc});
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY2(
        outcome.output.contains("identity:Kestrune|Kestrune|Kestrune"), qPrintable(outcome.output));
}

void TestHost::qtOptionsAreNotTheDocument()
{
    // With only Qt's options the built-in document is the one loaded: its failure names it.
    const Outcome outcome = run(QStringLiteral(KESTRUNE_BROKEN_BIN), {"-platform", "offscreen"});
    QCOMPARE(outcome.exitCode, 255);
    QVERIFY2(outcome.output.contains("qrc:/KestruneTest/broken.qml"), qPrintable(outcome.output));
    QVERIFY2(!outcome.output.contains("offscreen:"), qPrintable(outcome.output));
}

void TestHost::brokenBuiltInDocumentExitsWithMinusOne()
{
    const Outcome outcome = run(QStringLiteral(KESTRUNE_BROKEN_BIN), {});
    QCOMPARE(outcome.exitCode, 255);
}

void TestHost::brokenNamedDocumentExitsWithMinusOne()
{
    const QString broken = writeDocument(dir, QStringLiteral("broken.qml"), "Item { x: \n");
    QCOMPARE(run(QStringLiteral(KESTRUNE_BIN), {broken}).exitCode, 255);
    const QString missing = dir.filePath(QStringLiteral("missing.qml"));
    QCOMPARE(run(QStringLiteral(KESTRUNE_BIN), {missing}).exitCode, 255);
}

void TestHost::folderArgumentsListTheirLogs()
{
    QTemporaryDir logs;
    for (const char *name : {"Web-1.log", "Recorder_1.log", "old/Recorder_0.log", "notes.txt"}) {
        QDir().mkpath(QFileInfo(logs.filePath(name)).absolutePath());
        QFile file(logs.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QTemporaryDir second;
    QVERIFY(QFile(second.filePath("Solo_1.log")).open(QIODevice::WriteOnly));
    // The engine may collect what it owns: the model must survive a collection.
    const QString doc = writeDocument(dir, QStringLiteral("rows.qml"), R"(
import QtQuick
Item {
    Component.onCompleted: {
        let model = kestruneCore.folderModel()
        model = null
        gc()
        model = kestruneCore.folderModel()
        for (let row = 0; row < model.rowCount(); ++row) {
            const index = model.index(row, 0)
            console.log("row:" + model.data(index, 257) + "|" + model.data(index, 258))
        }
        Qt.exit(0)
    }
})");
    // A relative folder argument is made absolute.
    QProcess process;
    process.setWorkingDirectory(QFileInfo(second.path()).absolutePath());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(KESTRUNE_BIN),
        {"-platform", "offscreen", logs.path(), QFileInfo(second.path()).fileName(), doc});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QStringList rows;
    for (const QString &line : QString::fromLocal8Bit(process.readAll()).split('\n')) {
        if (line.contains("row:"))
            rows.append(line.mid(line.indexOf("row:") + 4));
    }
    QCOMPARE(rows,
        QStringList({logs.path() + "|Recorder", logs.path() + "|Web", second.path() + "|Solo"}));
}

void TestHost::allocatorGivesMemoryBackPromptly()
{
#ifndef KESTRUNE_USE_JEMALLOC
    QSKIP("built without jemalloc");
#else
    // The settings live in the program itself; jemalloc lists them when asked to print its
    // statistics at exit, which the environment may add without replacing them.
    const QString doc = writeDocument(dir, QStringLiteral("quit.qml"), R"(
import QtQuick
Item { Component.onCompleted: Qt.exit(0) })");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MALLOC_CONF"), "stats_print:true,stats_print_opts:mdablxeh");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(KESTRUNE_BIN), {"-platform", "offscreen", doc});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QString output = QString::fromLocal8Bit(process.readAll());
    QVERIFY2(output.contains(R"(opt.thp: "never")"), qPrintable(output));
    QVERIFY2(output.contains(R"(opt.background_thread: true)"), qPrintable(output));
    QVERIFY2(output.contains(R"(opt.dirty_decay_ms: 1000)"), qPrintable(output));
#endif
}

QTEST_GUILESS_MAIN(TestHost)
#include "tst_host.moc"
