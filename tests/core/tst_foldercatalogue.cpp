// Turning dropped folders and files into rows of logs.
#include "foldercatalogue.h"
#include "kestrunecore.h"
#include "testlogs.h"

#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QJSEngine>
#include <QTemporaryDir>
#include <QTest>

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

QTEST_GUILESS_MAIN(TestFolderCatalogue)
#include "tst_foldercatalogue.moc"
