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

public:
    TestHost()
    {
        QFile log(logFolder.filePath(QStringLiteral("Web_1.log")));
        if (log.open(QIODevice::WriteOnly)) {
            for (const char *time : {"10:00:00.000", "10:00:01.000", "10:00:02.000"}) {
                log.write(QByteArray("<HEAD>[42]2023/02/28 ") + time
                    + " <LN>Info</LN> <TID>7</TID> <MNAME>Web</MNAME> <FILE>web.cpp</FILE> "
                      "<LINE>12</LINE>\n<CONT>page <b>served</b></CONT>\n");
            }
        }
        for (const char *name : {"Server_1.txt", "notes.txt"})
            QFile(otherFiles.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    }

private slots:
    void namedDocumentRunsWithTheCore();
    void identityReadsBack();
    void qtOptionsAreNotTheDocument();
    void brokenBuiltInDocumentExitsWithMinusOne();
    void brokenNamedDocumentExitsWithMinusOne();
    void folderArgumentsListTheirLogs();
    void allocatorGivesMemoryBackPromptly();
    void commandLineNamesFoldersThenADocument_data();
    void commandLineNamesFoldersThenADocument();
    void closingTheWindowWarnsOfNothing_data();
    void closingTheWindowWarnsOfNothing();

private:
    Outcome runWindow(const QStringList &arguments, const QStringList &ownArguments);

    QTemporaryDir dir;
    QTemporaryDir runtimeDir;
    QTemporaryDir logFolder;
    QTemporaryDir otherFiles;
};

// Runs the program's own window through a document that shows it, reports what it shows,
// opens the first listed log when its own last argument is "open", and closes the window.
// Every message comes with its type first.
Outcome TestHost::runWindow(const QStringList &arguments, const QStringList &ownArguments)
{
    const QString driver = writeDocument(dir, QStringLiteral("driver.qml"), R"(
import QtQuick
QtObject {
    id: driver
    property QtObject window
    function find(item, name) {
        if (item.objectName === name)
            return item
        for (let i = 0; i < item.children.length; ++i) {
            const found = find(item.children[i], name)
            if (found)
                return found
        }
        return null
    }
    Component.onCompleted: {
        const own = Qt.application.arguments.slice(Qt.application.arguments.indexOf(
            Qt.application.arguments.find(a => a.endsWith("driver.qml"))) + 1)
        window = Qt.createComponent("qrc:/Kestrune/qml/main.qml").createObject(driver)
        const folders = kestruneCore.folderModel()
        const list = find(window.contentItem, "logView")
        if (own[own.length - 1] === "open") {
            const first = folders.index(0, 0)
            const fileView = find(window.contentItem, "fileView")
            // Opened at once, so that the log is open when the window closes.
            kestruneCore.openLog(folders.data(first, 257), folders.data(first, 258))
            fileView.openFile(folders.data(first, 257), folders.data(first, 258))
            list.forceLayout()
        }
        console.log("status:" + find(window.contentItem, "logStatus").text.replace(/\n/g, "|"))
        console.log("folders:" + folders.rowCount() + " rows:" + list.count)
        console.log("own:" + own.join(" "))
        console.log("title:" + window.title)
        Qt.callLater(window.close)
    }
})");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_MESSAGE_PATTERN"), QStringLiteral("%{type}|%{message}"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(KESTRUNE_BIN),
        QStringList({"-platform", "offscreen"}) + arguments + QStringList(driver) + ownArguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {-1000, QStringLiteral("timed out")};
    }
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

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
    QVERIFY2(output.contains(R"(opt.thp: "always")"), qPrintable(output));
    QVERIFY2(output.contains(R"(opt.background_thread: true)"), qPrintable(output));
    QVERIFY2(output.contains(R"(opt.dirty_decay_ms: 1000)"), qPrintable(output));
#endif
}

void TestHost::commandLineNamesFoldersThenADocument_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("ownArguments");
    QTest::addColumn<QStringList>("said");
    const QString logs = logFolder.path();
    const QString logFile = logFolder.filePath(QStringLiteral("Web_1.log"));
    QTest::newRow("folder") << QStringList({logs}) << QStringList()
                            << QStringList({"debug|status:\ndebug|folders:1 rows:0"});
    QTest::newRow("mistyped folder")
        << QStringList({logs + "x", logs}) << QStringList()
        << QStringList({"warning|no such file or folder: " + logs + "x",
               "debug|status:no such file or folder: " + logs + "x\ndebug|folders:1"});
    // A file is listed as a dropped one is, whatever its suffix; named alone, its log opens.
    QTest::newRow("log file and folder")
        << QStringList({logFile, "no-such", logs}) << QStringList()
        << QStringList({"warning|no such file or folder: no-such",
               "debug|status:no such file or folder: no-such\ndebug|folders:2 rows:0",
               "debug|title:Kestrune\n"});
    QTest::newRow("log file alone")
        << QStringList({logFile}) << QStringList()
        << QStringList({"debug|folders:1", "debug|title:Web — Kestrune"});
    const QString otherFile = otherFiles.filePath(QStringLiteral("Server_1.txt"));
    QTest::newRow("other file alone")
        << QStringList({otherFile}) << QStringList()
        << QStringList({"debug|folders:1", "debug|title:Server — Kestrune"});
    const QString unnamed = otherFiles.filePath(QStringLiteral("notes.txt"));
    QTest::newRow("file without a log name")
        << QStringList({unnamed}) << QStringList()
        << QStringList({"warning|not a log file: " + unnamed, "debug|folders:0 rows:0",
               "debug|title:Kestrune\n"});
    QTest::newRow("after the document")
        << QStringList() << QStringList({"no-such", logs})
        << QStringList({"debug|status:\ndebug|folders:0 rows:0", "debug|own:no-such " + logs});
}

// Before the document every argument is a folder or file to list, or said not to be one;
// after it every argument is the document's own.
void TestHost::commandLineNamesFoldersThenADocument()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, ownArguments);
    QFETCH(QStringList, said);
    const Outcome outcome = runWindow(arguments, ownArguments);
    QCOMPARE(outcome.exitCode, 0);
    for (const QString &text : said)
        QVERIFY2(outcome.output.contains(text), qPrintable(outcome.output));
    if (!said.join(QString()).contains(QLatin1String("warning|")))
        QVERIFY2(!outcome.output.contains(QLatin1String("warning|")), qPrintable(outcome.output));
}

void TestHost::closingTheWindowWarnsOfNothing_data()
{
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("shown");
    QTest::newRow("no log open") << QString() << "folders:1 rows:0";
    QTest::newRow("log open") << "open"
                              << "folders:1 rows:3";
}

// The window's documents hold on to the core until they are destroyed: nothing may be said
// at exit, whether a log is open or not.
void TestHost::closingTheWindowWarnsOfNothing()
{
    QFETCH(QString, open);
    QFETCH(QString, shown);
    const Outcome outcome = runWindow({logFolder.path()}, {open});
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY2(outcome.output.contains(shown), qPrintable(outcome.output));
    for (const QString &line : outcome.output.split('\n', Qt::SkipEmptyParts))
        QVERIFY2(line.startsWith(QLatin1String("debug|")), qPrintable(outcome.output));
}

QTEST_GUILESS_MAIN(TestHost)
#include "tst_host.moc"
