// The core's settings and style readers.
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

QTEST_GUILESS_MAIN(TestCoreSettings)
#include "tst_coresettings.moc"
