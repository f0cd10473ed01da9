// The core's settings and style readers, and the bounds of the values they give.
#include "coresettings.h"
#include "kestrunecore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestCoreSettings : public QObject
{
    Q_OBJECT

private slots:
    void defaultsWithoutFiles();
    void valuesFromFiles();
    void namespacesAreSeparate();
    void missingKeyWithoutDefaultIsInvalid();
    void unreadableFileGivesDefaults();
    void filesThatAreNotRegularAreIgnored();
    void builtInLocationIsBesideTheExecutable();
    void numbersAreKeptWithinWhatTheWindowShows_data();
    void numbersAreKeptWithinWhatTheWindowShows();
    void coloursThatAreNoneGiveTheDefault();
    void filesLargerThanOneMebibyteAreRefused();
};

void TestCoreSettings::defaultsWithoutFiles()
{
    QTemporaryDir dir;
    const KestruneCore core(dir.path());
    QCOMPARE(core.getSetting("scale", 1.0), QVariant(1.0));
    QCOMPARE(core.getSetting("globalFont", ""), QVariant(QString()));
    QCOMPARE(core.getStyle("logErrorMessageColor", "#ff5555"), QVariant("#ff5555"));
    QCOMPARE(core.getStyle("logPixelSize", 16), QVariant(16));
}

void TestCoreSettings::valuesFromFiles()
{
    QTemporaryDir dir;
    QVERIFY(
        writeFile(dir.filePath("settings.ini"), "[General]\nscale=1.4\nglobalFont=DejaVu Sans\n"));
    QVERIFY(writeFile(
        dir.filePath("style/default.ini"), "logErrorMessageColor=#00ff00\nlogPixelSize=20\n"));
    const KestruneCore core(dir.path());
    QCOMPARE(core.getSetting("scale", 1.0).toString(), QStringLiteral("1.4"));
    QCOMPARE(core.getSetting("globalFont", "").toString(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(
        core.getStyle("logErrorMessageColor", "#ff5555").toString(), QStringLiteral("#00ff00"));
    QCOMPARE(core.getStyle("logPixelSize", 16).toString(), QStringLiteral("20"));
    // A key the file lacks still gives the caller's default.
    QCOMPARE(core.getStyle("logThreadColor", "#ffffff"), QVariant("#ffffff"));
}

void TestCoreSettings::namespacesAreSeparate()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("settings.ini"), "[General]\nlogFont=FromSettings\n"));
    QVERIFY(writeFile(dir.filePath("style/default.ini"), "[General]\nscale=2.5\n"));
    const KestruneCore core(dir.path());
    QCOMPARE(core.getSetting("scale", 1.0), QVariant(1.0));
    QCOMPARE(core.getStyle("logFont", ""), QVariant(QString()));
    QCOMPARE(core.getStyle("scale", 1.0).toString(), QStringLiteral("2.5"));
    QCOMPARE(core.getSetting("logFont", "").toString(), QStringLiteral("FromSettings"));
}

void TestCoreSettings::missingKeyWithoutDefaultIsInvalid()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("settings.ini"), "[General]\nscale=1.4\n"));
    const KestruneCore core(dir.path());
    QVERIFY(!core.getSetting("noSuchKey").isValid());
    QVERIFY(!core.getStyle("noSuchKey").isValid());
}

void TestCoreSettings::unreadableFileGivesDefaults()
{
    QTemporaryDir dir;
    // A folder where the file should be, and bytes that are no INI text.
    QVERIFY(QDir(dir.path()).mkpath("settings.ini"));
    QVERIFY(writeFile(dir.filePath("style/default.ini"), QByteArray("\0\xff\xfe[[=\n", 7)));
    const KestruneCore core(dir.path());
    QCOMPARE(core.getSetting("scale", 1.0), QVariant(1.0));
    QCOMPARE(core.getStyle("textBackgroundColor", "#2b3033"), QVariant("#2b3033"));
}

void TestCoreSettings::filesThatAreNotRegularAreIgnored()
{
#ifndef Q_OS_UNIX
    QSKIP("FIFOs and devices as files are a Unix matter");
#else
    // Reading either would block on the FIFO, or never end on the device.
    QTemporaryDir dir;
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("settings.ini")).constData(), 0600) == 0);
    QVERIFY(QDir(dir.path()).mkpath("style"));
    QVERIFY(QFile::link("/dev/zero", dir.filePath("style/default.ini")));
    const KestruneCore core(dir.path());
    QCOMPARE(core.getSetting("scale", 1.0), QVariant(1.0));
    QCOMPARE(core.getStyle("textBackgroundColor", "#2b3033"), QVariant("#2b3033"));
#endif
}

void TestCoreSettings::builtInLocationIsBesideTheExecutable()
{
    const QString path = QCoreApplication::applicationDirPath() + "/style/default.ini";
    QVERIFY2(!QFile::exists(path), "a stale style file beside the test runner");
    QVERIFY(writeFile(path, "[General]\ntabBackgroundColor=#123456\n"));
    {
        const KestruneCore core;
        QCOMPARE(
            core.getStyle("tabBackgroundColor", "#2b3033").toString(), QStringLiteral("#123456"));
    }
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir(QCoreApplication::applicationDirPath()).rmdir("style"));
}

void TestCoreSettings::numbersAreKeptWithinWhatTheWindowShows_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QByteArray>("style");
    QTest::addColumn<QVariant>("scale");
    QTest::addColumn<QVariant>("logPixelSize");
    QTest::newRow("within") << QByteArray("scale=1.4") << QByteArray("logPixelSize=20.6")
                            << QVariant(1.4) << QVariant(21);
    QTest::newRow("too large") << QByteArray("scale=7") << QByteArray("logPixelSize=100000")
                               << QVariant(CoreSettings::maximumScale)
                               << QVariant(CoreSettings::maximumLogPixelSize);
    QTest::newRow("too small") << QByteArray("scale=0.01") << QByteArray("logPixelSize=1")
                               << QVariant(CoreSettings::minimumScale)
                               << QVariant(CoreSettings::minimumLogPixelSize);
    // No size at all: the caller's default.
    QTest::newRow("negative") << QByteArray("scale=-5") << QByteArray("logPixelSize=-16")
                              << QVariant(1.0) << QVariant(16);
    QTest::newRow("zero") << QByteArray("scale=0") << QByteArray("logPixelSize=0") << QVariant(1.0)
                          << QVariant(16);
    QTest::newRow("not a number") << QByteArray("scale=large") << QByteArray("logPixelSize=1e999")
                                  << QVariant(1.0) << QVariant(16);
    QTest::newRow("a list") << QByteArray("scale=1,5") << QByteArray("logPixelSize=nan")
                            << QVariant(1.0) << QVariant(16);
}

void TestCoreSettings::numbersAreKeptWithinWhatTheWindowShows()
{
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, style);
    QFETCH(QVariant, scale);
    QFETCH(QVariant, logPixelSize);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("settings.ini"), "[General]\n" + settings + "\n"));
    QVERIFY(writeFile(dir.filePath("style/default.ini"), "[General]\n" + style + "\n"));
    const KestruneCore core(dir.path());
    QCOMPARE(core.getSetting("scale", 1.0), scale);
    QCOMPARE(core.getStyle("logPixelSize", 16), logPixelSize);
}

void TestCoreSettings::coloursThatAreNoneGiveTheDefault()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("style/default.ini"),
        "[General]\nlogMessageColor=red\nlogThreadColor=\"#80ff0000\"\n"
        "logModuleColor=#12345\ntextBackgroundColor=nocolour\ntabBackgroundColor=1,2,3\n"));
    const KestruneCore core(dir.path());
    QCOMPARE(core.getStyle("logMessageColor", "#ffffff"), QVariant("red"));
    QCOMPARE(core.getStyle("logThreadColor", "#ffffff"), QVariant("#80ff0000"));
    QCOMPARE(core.getStyle("logModuleColor", "#ffffff"), QVariant("#ffffff"));
    QCOMPARE(core.getStyle("textBackgroundColor", "#2b3033"), QVariant("#2b3033"));
    QCOMPARE(core.getStyle("tabBackgroundColor", "#2b3033"), QVariant("#2b3033"));
}

// A huge file would take seconds and much memory at every start.
void TestCoreSettings::filesLargerThanOneMebibyteAreRefused()
{
    QTemporaryDir dir;
    QByteArray large = "[General]\nscale=2\n;";
    large.append(CoreSettings::maxFileBytes - large.size() + 1, 'x');
    QByteArray fits = "[General]\ntabBackgroundColor=#123456\n;";
    fits.append(CoreSettings::maxFileBytes - fits.size(), 'x');
    QVERIFY(writeFile(dir.filePath("settings.ini"), large));
    QVERIFY(writeFile(dir.filePath("style/default.ini"), fits));
    QTest::ignoreMessage(QtWarningMsg,
        qPrintable(dir.filePath("settings.ini")
            + " is not read: it is larger than 1 MiB (1.0 MiB); its keys take their defaults"));
    const KestruneCore core(dir.path());
    QCOMPARE(core.getSetting("scale", 1.0), QVariant(1.0));
    QCOMPARE(core.getStyle("tabBackgroundColor", "#2b3033"), QVariant("#123456"));
}

QTEST_GUILESS_MAIN(TestCoreSettings)
#include "tst_coresettings.moc"
