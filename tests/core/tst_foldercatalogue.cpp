// Turning dropped folders and files into rows of logs, at once or in the background, and
// saying what a scan passed over.
#include "foldercatalogue.h"
#include "folderscanjob.h"
#include "folderscanqueue.h"
#include "kestrunecore.h"
#include "testlogs.h"

#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QJSEngine>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr int folderRole = Qt::UserRole + 1;
constexpr int nameRole = Qt::UserRole + 2;

using Row = std::pair<QString, QString>;

QList<Row> rowsOf(KestruneCore &core)
{
    auto *model = qobject_cast<QAbstractItemModel *>(core.folderModel());
    QList<Row> rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        rows.append({index.data(folderRole).toString(), index.data(nameRole).toString()});
    }
    return rows;
}

// Creates an empty file whose name is the given bytes, in a folder that Qt can name.
bool touchBytes(const QString &folder, const QByteArray &name)
{
#ifdef Q_OS_UNIX
    QDir().mkpath(folder);
    const int fd = ::open(
        (QFile::encodeName(folder) + '/' + name).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    return fd >= 0 && ::close(fd) == 0;
#else
    Q_UNUSED(folder);
    Q_UNUSED(name);
    return false;
#endif
}

bool makeFolderOfBytes(const QString &parent, const QByteArray &name)
{
#ifdef Q_OS_UNIX
    return ::mkdir((QFile::encodeName(parent) + '/' + name).constData(), 0755) == 0;
#else
    Q_UNUSED(parent);
    Q_UNUSED(name);
    return false;
#endif
}

// Removes the files and folders of the given byte names, which the temporary folder's own
// clean-up cannot see.
void removeBytes(const QString &folder, const QList<QByteArray> &names)
{
#ifdef Q_OS_UNIX
    for (const QByteArray &name : names) {
        const QByteArray path = QFile::encodeName(folder) + '/' + name;
        if (::unlink(path.constData()) != 0)
            ::rmdir(path.constData());
    }
#else
    Q_UNUSED(folder);
    Q_UNUSED(names);
#endif
}

const QList<QByteArray> latin1Names {
    "Caf\xe9_1.log", "Caf\xe9-2.log", "r\xe9sum\xe9.log", "Caf\xe9_3.txt", "d\xe9j\xe0"};

// A folder with logs beside files and a folder whose names are Latin-1: two of the files
// would belong to logs, one would not.
bool writeLatin1Names(const QString &folder)
{
    return touchFile(folder + "/Good_1.log") && touchBytes(folder, "Caf\xe9_1.log")
        && touchBytes(folder, "Caf\xe9-2.log") && touchBytes(folder, "r\xe9sum\xe9.log")
        && touchBytes(folder, "Caf\xe9_3.txt") && makeFolderOfBytes(folder, "d\xe9j\xe0")
        && touchFile(folder + "/sub/Good_2.log");
}

// Lists a folder with an unreadable sub-folder, and a folder that cannot be read at all;
// prints what it saw.
int runUnreadableChild(const QString &folder)
{
    KestruneCore core(folder);
    core.openFolder(QUrl::fromLocalFile(folder + "/tree"));
    QStringList names;
    for (const Row &row : rowsOf(core))
        names.append(row.second);
    std::printf("rows:%s\n", qPrintable(names.join(',')));
    std::printf("notice:%s\n", qPrintable(core.folderNotice(folder + "/tree")));
    core.openFolder(QUrl::fromLocalFile(folder + "/tree/sub/locked"));
    std::printf("locked notice:%s\n",
        qPrintable(core.folderNotice(folder + "/tree/sub/locked").replace(folder, "<folder>")));
    return 0;
}

QStringList fileNamesOf(const QList<QFileInfo> &files)
{
    QStringList names;
    for (const QFileInfo &file : files)
        names.append(file.fileName());
    names.sort();
    return names;
}

} // namespace

class TestFolderCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void groupsFilesIntoLogs();
    void underscoreBeforeHyphen();
    void logNamesInCodeUnitOrder();
    void singleFileIsTakenWhateverItsSuffix();
    void repeatsAreAppendedAgain();
    void nothingFoundAppendsNothing();
    void localUrlGivesAbsolutePath();
    void percentEncodedCharactersAreDecoded();
    void windowsAndHostUrlsKeepTheirText();
    void storedFolderTextScansTheSamePlace();
    void modelStaysOwnedByTheCore();

    void namesThatAreNotUtf8AreCounted();
    void unreadableSubFoldersAreReported();
    void noticeNamesTheFirstFolders();
    void backgroundScansGiveTheSameRowsInOrder();
    void backgroundScanCountsTheFilesItPasses();
    void cancelledScansAppendNothing();
    void folderWithoutLogsKeepsItsNotice();

private:
    QTemporaryDir config;
};

void TestFolderCatalogue::groupsFilesIntoLogs()
{
    QTemporaryDir dir;
    // Names are cut at their first separator, and only the last suffix counts.
    for (const char *name :
        {"Recorder_20230228.log", "Recorder_2023_03_01.log", "old/Recorder_20230101.log",
            "Web-1.log", "Web-2023-02-28.log", "readme.log", "Recorder_1.txt", "Recorder_2.LOG",
            "Recorder_3.log.1", "nested/deep/Web-3.log", "App_2023.02.28.log"})
        QVERIFY(touchFile(dir.filePath(name)));
    QVERIFY(QDir(dir.path()).mkpath("Folder_1.log"));

    const FolderScan scan = FolderCatalogue::scanFolder(dir.path());
    QCOMPARE(scan.folder, dir.path());
    QCOMPARE(scan.logs.size(), size_t(3));
    QCOMPARE(fileNamesOf(scan.logs.at("Recorder")),
        QStringList({"Recorder_20230101.log", "Recorder_20230228.log", "Recorder_2023_03_01.log"}));
    QCOMPARE(fileNamesOf(scan.logs.at("Web")),
        QStringList({"Web-1.log", "Web-2023-02-28.log", "Web-3.log"}));
    QCOMPARE(fileNamesOf(scan.logs.at("App")), QStringList({"App_2023.02.28.log"}));

    KestruneCore core(config.path());
    QAbstractItemModelTester tester(qobject_cast<QAbstractItemModel *>(core.folderModel()));
    core.openFolder(QUrl::fromLocalFile(dir.path()));
    QCOMPARE(rowsOf(core),
        QList<Row>({{dir.path(), "App"}, {dir.path(), "Recorder"}, {dir.path(), "Web"}}));
    QCOMPARE(qobject_cast<QAbstractItemModel *>(core.folderModel())->roleNames(),
        (QHash<int, QByteArray> {{folderRole, "folderRole"}, {nameRole, "nameRole"}}));
}

void TestFolderCatalogue::underscoreBeforeHyphen()
{
    QTemporaryDir dir;
    for (const char *name : {"Web-1_a.log", "_x.log", "-y.log", "a-b-c.log", "server.log"})
        QVERIFY(touchFile(dir.filePath(name)));
    const auto logs = FolderCatalogue::scanFolder(dir.path()).logs;
    QCOMPARE(logs.size(), size_t(3));
    QCOMPARE(fileNamesOf(logs.at("Web-1")), QStringList({"Web-1_a.log"}));
    // "_x.log" and "-y.log" both have the empty name.
    QCOMPARE(fileNamesOf(logs.at("")), QStringList({"-y.log", "_x.log"}));
    QCOMPARE(fileNamesOf(logs.at("a")), QStringList({"a-b-c.log"}));
}

void TestFolderCatalogue::logNamesInCodeUnitOrder()
{
    QTemporaryDir dir;
    for (const char *name :
        {"alpha_1.log", "web_1.log", "Zeta_1.log", "Web_1.log", "\xc3\x84rger_1.log", "beta_1.log"})
        QVERIFY(touchFile(dir.filePath(QString::fromUtf8(name))));
    KestruneCore core(config.path());
    core.openFolder(QUrl::fromLocalFile(dir.path()));
    QStringList names;
    for (const Row &row : rowsOf(core))
        names.append(row.second);
    QCOMPARE(names,
        QStringList({"Web", "Zeta", "alpha", "beta", "web", QString::fromUtf8("\xc3\x84rger")}));
}

void TestFolderCatalogue::singleFileIsTakenWhateverItsSuffix()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Server_1.txt");
    QVERIFY(touchFile(file));
    QVERIFY(touchFile(dir.filePath("Other_1.log")));
    KestruneCore core(config.path());
    core.openFolder(QUrl::fromLocalFile(file));
    QCOMPARE(rowsOf(core), QList<Row>({{file, "Server"}}));
    // A single file without a separator belongs to no log.
    QVERIFY(touchFile(dir.filePath("plain.log")));
    core.openFolder(QUrl::fromLocalFile(dir.filePath("plain.log")));
    QCOMPARE(rowsOf(core).size(), 1);
}

void TestFolderCatalogue::repeatsAreAppendedAgain()
{
    QTemporaryDir dir;
    QVERIFY(touchFile(dir.filePath("A_1.log")));
    QVERIFY(touchFile(dir.filePath("B_1.log")));
    KestruneCore core(config.path());
    const QUrl url = QUrl::fromLocalFile(dir.path());
    core.openFolder(url);
    QVERIFY(touchFile(dir.filePath("C_1.log")));
    core.openFolder(url);
    const QString folder = dir.path();
    QCOMPARE(rowsOf(core),
        QList<Row>({{folder, "A"}, {folder, "B"}, {folder, "A"}, {folder, "B"}, {folder, "C"}}));
}

void TestFolderCatalogue::nothingFoundAppendsNothing()
{
    QTemporaryDir dir;
    QVERIFY(touchFile(dir.filePath("notes.txt")));
    QVERIFY(touchFile(dir.filePath("sub/Work_1.log")));
    KestruneCore core(config.path());
    core.openFolder(QUrl::fromLocalFile(dir.path() + "/notes.txt"));
    core.openFolder(QUrl::fromLocalFile(dir.filePath("missing")));
    // An empty URL names no folder, not the working one.
    const QString working = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.filePath("sub")));
    core.openFolder(QUrl());
    QVERIFY(QDir::setCurrent(working));
    QVERIFY(rowsOf(core).isEmpty());
    QVERIFY(FolderCatalogue::listLogFiles(dir.filePath("missing")).isEmpty());
}

void TestFolderCatalogue::localUrlGivesAbsolutePath()
{
    QTemporaryDir dir;
    QVERIFY(touchFile(dir.filePath("sub/App_1.log")));
    const QString sub = dir.filePath("sub");
    QCOMPARE(FolderCatalogue::scanFolder(FolderCatalogue::folderTextOf(QUrl("file:///var/log/app")))
                 .folder,
        QStringLiteral("/var/log/app"));
    KestruneCore core(config.path());
    core.openFolder(QUrl(QStringLiteral("file://") + sub));
    core.openFolder(QUrl::fromLocalFile(sub + "/"));
    QCOMPARE(rowsOf(core), QList<Row>({{sub, "App"}, {sub + "/", "App"}}));
    QVERIFY(QFileInfo(rowsOf(core).front().first).isAbsolute());
}

void TestFolderCatalogue::percentEncodedCharactersAreDecoded()
{
    QTemporaryDir dir;
    const QString odd = dir.filePath(QString::fromUtf8("a b#c%25?d\xc3\xa9"));
    QVERIFY(touchFile(odd + "/App_1.log"));
    const QUrl url = QUrl::fromLocalFile(odd);
    QVERIFY(url.toEncoded().contains("%23"));
    KestruneCore core(config.path());
    core.openFolder(url);
    QCOMPARE(rowsOf(core), QList<Row>({{odd, "App"}}));
}

void TestFolderCatalogue::windowsAndHostUrlsKeepTheirText()
{
    const auto folderOf = [](const char *url) {
        return FolderCatalogue::scanFolder(FolderCatalogue::folderTextOf(QUrl(url))).folder;
    };
    QCOMPARE(folderOf("file:///C:/Logs/Server"), QStringLiteral("C:/Logs/Server"));
    QCOMPARE(folderOf("file:///C:/Logs/Server%20One"), QStringLiteral("C:/Logs/Server One"));
    QCOMPARE(folderOf("file:///d:"), QStringLiteral("d:"));
    QCOMPARE(folderOf("file://host/share/logs"), QStringLiteral("//host/share/logs"));
    // A first folder that only looks like a drive stays an absolute path.
    QCOMPARE(folderOf("file:///C:x/logs"), QStringLiteral("/C:x/logs"));
}

void TestFolderCatalogue::storedFolderTextScansTheSamePlace()
{
    QTemporaryDir dir;
    QVERIFY(touchFile(dir.filePath("App_1.log")));
    const FolderScan first = FolderCatalogue::scanFolder(
        FolderCatalogue::folderTextOf(QUrl::fromLocalFile(dir.path())));
    const FolderScan again = FolderCatalogue::scanFolder(first.folder);
    QCOMPARE(again.folder, first.folder);
    QCOMPARE(again.logs.size(), size_t(1));
    QCOMPARE(fileNamesOf(again.logs.at("App")), QStringList({"App_1.log"}));
    for (const QString &text : {QStringLiteral("C:/Logs"), QStringLiteral("//host/share/logs"),
             QStringLiteral("/var/log"), QStringLiteral("relative/path")})
        QCOMPARE(FolderCatalogue::scanFolder(text).folder, text);
    QCOMPARE(FolderCatalogue::scanFolder("////var/log").folder, QStringLiteral("/var/log"));
}

void TestFolderCatalogue::modelStaysOwnedByTheCore()
{
    KestruneCore core(config.path());
    QObject *model = core.folderModel();
    QCOMPARE(core.folderModel(), model);
    QCOMPARE(QJSEngine::objectOwnership(model), QJSEngine::CppOwnership);
}

void TestFolderCatalogue::namesThatAreNotUtf8AreCounted()
{
#ifndef Q_OS_UNIX
    QSKIP("file names are UTF-16 text on this system");
#else
    QTemporaryDir dir;
    QVERIFY(writeLatin1Names(dir.path()));
    // Decoded, such a name no longer names the file: Qt cannot open it.
    QVERIFY(!QFile::exists(dir.filePath(QString::fromLocal8Bit("Caf\xe9_1.log"))));
    const FolderScan scan = FolderCatalogue::scanFolder(dir.path());
    QCOMPARE(scan.logs.size(), size_t(1));
    QCOMPARE(fileNamesOf(scan.logs.at("Good")), QStringList({"Good_1.log", "Good_2.log"}));
    QCOMPARE(scan.skipped.nonUtf8Files, 2);
    QCOMPARE(scan.skipped.nonUtf8Folders, 1);
    QVERIFY(scan.skipped.unreadableFolders.isEmpty());
    const QString notice = QStringLiteral("2 files with names that are not UTF-8 were skipped\n"
                                          "1 folder with a name that is not UTF-8 was skipped");
    QCOMPARE(FolderCatalogue::noticeOf(scan), notice);

    KestruneCore core(config.path());
    core.openFolder(QUrl::fromLocalFile(dir.path()));
    QCOMPARE(rowsOf(core), QList<Row>({{dir.path(), "Good"}}));
    QCOMPARE(core.folderNotice(dir.path()), notice);
    // A scan that passes over nothing has nothing to say.
    QVERIFY(touchFile(dir.filePath("clean/Other_1.log")));
    core.openFolder(QUrl::fromLocalFile(dir.filePath("clean")));
    QCOMPARE(core.folderNotice(dir.filePath("clean")), QString());
    removeBytes(dir.path(), latin1Names);
#endif
}

void TestFolderCatalogue::unreadableSubFoldersAreReported()
{
#ifndef Q_OS_UNIX
    QSKIP("folder permissions are a Unix matter here");
#else
    QTemporaryDir dir;
    const QString tree = dir.filePath("tree");
    QVERIFY(touchFile(tree + "/Open_1.log"));
    QVERIFY(touchFile(tree + "/sub/Sub_1.log"));
    QVERIFY(touchFile(tree + "/sub/locked/Hidden_1.log"));
    const QString locked = tree + "/sub/locked";
    QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
    QStringList command {QCoreApplication::applicationFilePath(), "unreadable-child", dir.path()};
    // As root, reading needs no permission: the child runs without that capability.
    if (geteuid() == 0)
        command = QStringList {"setpriv", "--inh-caps=-all", "--ambient-caps=-all",
                      "--bounding-set=-all", "--"}
            + command;
    const QStringList output = childOutput(command);
    QVERIFY(QFile::setPermissions(
        locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QCOMPARE(output,
        QStringList({"rows:Open,Sub", "notice:1 folder could not be read: sub/locked",
            "locked notice:1 folder could not be read: <folder>/tree/sub/locked", "exit:0"}));
#endif
}

void TestFolderCatalogue::noticeNamesTheFirstFolders()
{
    FolderScan scan;
    scan.folder = QStringLiteral("/logs");
    scan.skipped.unreadableFolders = QStringList({".", "b", "c/d", "e", "f", "g", "h"});
    scan.skipped.nonUtf8Files = 1;
    scan.skipped.nonUtf8Folders = 3;
    QCOMPARE(FolderCatalogue::noticeOf(scan),
        QStringLiteral("7 folders could not be read: /logs, b, c/d, e, f, and 2 more\n"
                       "1 file with a name that is not UTF-8 was skipped\n"
                       "3 folders with names that are not UTF-8 were skipped"));
    QCOMPARE(FolderCatalogue::noticeOf(FolderScan {}), QString());
}

// Several folders added one after the other, the first the largest: each scan's rows come
// when it and the scans before it have ended, as the synchronous call appends them.
void TestFolderCatalogue::backgroundScansGiveTheSameRowsInOrder()
{
    QTemporaryDir dir;
    for (int folder = 0; folder < 20; ++folder) {
        for (int file = 0; file < 20; ++file)
            QVERIFY(touchFile(dir.filePath(
                QStringLiteral("big/d%1/S%2-%3.log").arg(folder).arg(file % 7).arg(file))));
    }
    QVERIFY(touchFile(dir.filePath("small/Zeta_1.log")));
    QVERIFY(touchFile(dir.filePath("small/alpha_1.log")));
    QVERIFY(touchFile(dir.filePath("single/Web_1.txt")));
    const QList<QUrl> urls {QUrl::fromLocalFile(dir.filePath("big")),
        QUrl::fromLocalFile(dir.filePath("small")), QUrl::fromLocalFile(dir.filePath("missing")),
        QUrl::fromLocalFile(dir.filePath("single/Web_1.txt")),
        QUrl::fromLocalFile(dir.filePath("small"))};

    KestruneCore once(config.path());
    for (const QUrl &url : urls)
        once.openFolder(url);

    KestruneCore core(config.path());
    QAbstractItemModelTester rowsTester(qobject_cast<QAbstractItemModel *>(core.folderModel()));
    auto *scans = qobject_cast<FolderScanQueue *>(core.folderScanModel());
    QVERIFY(scans);
    QAbstractItemModelTester scansTester(scans);
    QSignalSpy finished(scans, &FolderScanQueue::scanFinished);
    for (const QUrl &url : urls)
        QVERIFY(qobject_cast<FolderScanJob *>(core.openFolderAsync(url)));
    // Nothing is appended before the event loop runs.
    QVERIFY(rowsOf(core).isEmpty());
    QCOMPARE(scans->count(), int(urls.size()));
    QVERIFY(scans->isScanning());
    QCOMPARE(scans->index(1).data(FolderScanQueue::folderRole).toString(), dir.filePath("small"));
    QVERIFY(scans->index(1).data(FolderScanQueue::scanningRole).toBool());

    QTRY_COMPARE(finished.size(), int(urls.size()));
    QCOMPARE(rowsOf(core), rowsOf(once));
    QCOMPARE(rowsOf(core).size(), 7 + 2 + 1 + 2);
    for (const auto &arguments : finished)
        QVERIFY(arguments.at(1).toBool());
    QCOMPARE(finished.at(3).at(0).toString(), dir.filePath("single/Web_1.txt"));
    QCOMPARE(scans->count(), 0);
    QVERIFY(!scans->isScanning());
    QCOMPARE(core.folderScanModel(), scans);
    QCOMPARE(QJSEngine::objectOwnership(scans), QJSEngine::CppOwnership);
}

void TestFolderCatalogue::backgroundScanCountsTheFilesItPasses()
{
    QTemporaryDir dir;
    for (const char *name : {"a/App_1.log", "a/notes.txt", "b/c/App_2.log", "readme"})
        QVERIFY(touchFile(dir.filePath(name)));
    KestruneCore core(config.path());
    auto *job
        = qobject_cast<FolderScanJob *>(core.openFolderAsync(QUrl::fromLocalFile(dir.path())));
    QVERIFY(job);
    QCOMPARE(job->folder(), dir.path());
    QSignalSpy progress(job, &FolderScanJob::progressChanged);
    QSignalSpy finished(job, &FolderScanJob::finished);
    QVERIFY(finished.wait());
    // The last report, at the end, has every file of any name.
    QVERIFY(!progress.isEmpty());
    QCOMPARE(job->filesSeen(), 4.0);
    QCOMPARE(rowsOf(core), QList<Row>({{dir.path(), "App"}}));
}

void TestFolderCatalogue::cancelledScansAppendNothing()
{
    QTemporaryDir dir;
    QVERIFY(touchFile(dir.filePath("one/App_1.log")));
    QVERIFY(touchFile(dir.filePath("two/Web_1.log")));
    KestruneCore core(config.path());
    auto *scans = qobject_cast<FolderScanQueue *>(core.folderScanModel());
    QAbstractItemModelTester scansTester(scans);
    QSignalSpy finished(scans, &FolderScanQueue::scanFinished);
    (void)core.openFolderAsync(QUrl::fromLocalFile(dir.filePath("one")));
    (void)core.openFolderAsync(QUrl::fromLocalFile(dir.filePath("two")));
    // Before the event loop runs, neither scan can have appended its rows.
    core.cancelFolderScans();
    QCOMPARE(scans->count(), 0);
    QVERIFY(!scans->isScanning());
    QTRY_COMPARE(finished.size(), 2);
    for (const auto &arguments : finished)
        QVERIFY(!arguments.at(1).toBool());
    QVERIFY(rowsOf(core).isEmpty());
    // A scan started afterwards goes on as usual.
    (void)core.openFolderAsync(QUrl::fromLocalFile(dir.filePath("two")));
    QTRY_COMPARE(finished.size(), 3);
    QCOMPARE(rowsOf(core), QList<Row>({{dir.filePath("two"), "Web"}}));
}

// A folder whose only logs have names that are not UTF-8 appends no row: its notice stays in
// the scan model, where the window shows it.
void TestFolderCatalogue::folderWithoutLogsKeepsItsNotice()
{
#ifndef Q_OS_UNIX
    QSKIP("file names are UTF-16 text on this system");
#else
    QTemporaryDir dir;
    QVERIFY(touchBytes(dir.filePath("latin"), "Caf\xe9_1.log"));
    KestruneCore core(config.path());
    auto *scans = qobject_cast<FolderScanQueue *>(core.folderScanModel());
    QSignalSpy finished(scans, &FolderScanQueue::scanFinished);
    (void)core.openFolderAsync(QUrl::fromLocalFile(dir.filePath("latin")));
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(rowsOf(core).isEmpty());
    QCOMPARE(scans->count(), 1);
    const QModelIndex entry = scans->index(0);
    QCOMPARE(entry.data(FolderScanQueue::folderRole).toString(), dir.filePath("latin"));
    QVERIFY(!entry.data(FolderScanQueue::scanningRole).toBool());
    QCOMPARE(entry.data(FolderScanQueue::noticeRole).toString(),
        QStringLiteral("1 file with a name that is not UTF-8 was skipped"));
    // The synchronous call keeps such a folder as well.
    core.openFolder(QUrl::fromLocalFile(dir.filePath("latin")));
    QCOMPARE(scans->count(), 2);
    QCOMPARE(core.folderNotice(dir.filePath("latin")),
        QStringLiteral("1 file with a name that is not UTF-8 was skipped"));
    removeBytes(dir.filePath("latin"), {"Caf\xe9_1.log"});
#endif
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "unreadable-child") == 0)
        return runUnreadableChild(QString::fromLocal8Bit(argv[2]));
    TestFolderCatalogue test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_foldercatalogue.moc"
