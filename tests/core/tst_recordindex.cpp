// The record index must give exactly the records that loading the whole log gives, in the same
// order, on any bytes: every field, the record numbers, the dates and the errors-only type test.
#include "loggenerator.h"
#include "logrecordloader.h"
#include "recordindex.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringConverter>
#include <QTemporaryDir>
#include <QTest>

namespace {

using QarnLog = QarnLogParser::QarnLog;

QByteArray encoded(const QString &text, QStringConverter::Encoding encoding)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

// Header lines, block lines and stray lines in every shape the format allows, with dates out
// of order, equal dates, dates of other shapes and types that are errors in some letter case.
QString randomLine(QRandomGenerator &random)
{
    static const QStringList dates {QStringLiteral("2023/02/28 10:00:00.000"),
        QStringLiteral("2023/02/28 09:59:59.999"), QStringLiteral("2023/02/28 10:00:00.000"),
        QStringLiteral("2023-02-28 10:00"), QStringLiteral("2023/02/28 1x:00:00.000"),
        QStringLiteral("\u0661\u0662 Zeit"), QStringLiteral("")};
    static const QStringList types {QStringLiteral("Info"), QStringLiteral("Error"),
        QStringLiteral("FATAL"), QStringLiteral("error "), QStringLiteral("erroR"),
        QStringLiteral("\u212Aill")};
    static const QStringList texts {QStringLiteral("<CONT>one</CONT>"),
        QStringLiteral("<CONT>open"), QStringLiteral("close</CONT> after"),
        QStringLiteral("plain text"), QString(),
        QStringLiteral("Grüße \U0001F600 \u0416\u0436 \u65E5\u672C"), QStringLiteral("a\u0000b"),
        QStringLiteral("<HEAD>x"), QStringLiteral("</CONT>"), QStringLiteral("   ")};
    if (random.bounded(3) == 0) {
        return QStringLiteral("<HEAD>[%1]%2 <LN>%3</LN> <TID>%4</TID> <MNAME>M\u00e9</MNAME>")
            .arg(random.bounded(100))
            .arg(dates[random.bounded(dates.size())], types[random.bounded(types.size())])
            .arg(random.bounded(10));
    }
    return texts[random.bounded(texts.size())];
}

QByteArray randomFile(QRandomGenerator &random)
{
    QString text;
    const int lines = random.bounded(40);
    const QString lineEnd = random.bounded(2) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    for (int i = 0; i < lines; ++i)
        text += randomLine(random) + (i + 1 < lines || random.bounded(2) ? lineEnd : QString());
    switch (random.bounded(6)) {
    case 0:
        return encoded(text, QStringConverter::Utf16LE);
    case 1:
        return encoded(text, QStringConverter::Utf16BE);
    case 2:
        return encoded(text, QStringConverter::Utf32LE);
    case 3:
        return "\xEF\xBB\xBF" + text.toUtf8() + "\xC3";
    case 4: {
        QByteArray bytes = text.toUtf8();
        if (!bytes.isEmpty())
            bytes[random.bounded(bytes.size())] = char(0xFF);
        return bytes;
    }
    default:
        return text.toUtf8();
    }
}

bool sameRecord(const QarnLog &a, const QarnLog &b)
{
    return a.dateTime == b.dateTime && a.logType == b.logType && a.threadID == b.threadID
        && a.moduleName == b.moduleName && a.cppFileName == b.cppFileName && a.cppLine == b.cppLine
        && a.message == b.message && a.line == b.line;
}

RecordIndex indexOf(const QList<QFileInfo> &files, qsizetype blockSize)
{
    QStringList paths;
    std::vector<RecordScanner::FileRecords> scanned;
    for (const QFileInfo &info : files) {
        QFile file(info.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        paths.append(info.absoluteFilePath());
        scanned.push_back(RecordScanner::scan(&file, blockSize));
    }
    return RecordIndex(paths, std::move(scanned));
}

} // namespace

class TestRecordIndex : public QObject
{
    Q_OBJECT

private slots:
    void indexGivesTheLoadedRecords_data()
    {
        QTest::addColumn<QString>("corpus");
        QTest::addColumn<qsizetype>("blockSize");
        QTest::newRow("generated, non-ASCII, CR LF")
            << QStringLiteral("generated") << qsizetype(1 << 20);
        QTest::newRow("generated UTF-16, small blocks") << QStringLiteral("utf16") << qsizetype(7);
        QTest::newRow("random bytes in every encoding")
            << QStringLiteral("random") << qsizetype(1 << 20);
        QTest::newRow("random bytes, small blocks") << QStringLiteral("random") << qsizetype(5);
    }

    void indexGivesTheLoadedRecords()
    {
        QFETCH(QString, corpus);
        QFETCH(qsizetype, blockSize);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (corpus == QStringLiteral("random")) {
            QRandomGenerator random(23);
            for (int i = 0; i < 60; ++i) {
                QFile file(dir.filePath(QStringLiteral("r_%1.log").arg(i)));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(randomFile(random));
            }
        } else {
            LogGeneratorOptions options;
            options.nonAsciiShare = 1;
            options.nonAsciiOutOf = 3;
            options.nonAsciiFields = true;
            options.crlf = corpus == QStringLiteral("generated");
            options.utf16 = corpus == QStringLiteral("utf16");
            QVERIFY(
                LogGenerator(5, options).writeLog(dir.path(), QStringLiteral("g"), 3, 300'000) > 0);
        }
        const QList<QFileInfo> files = QDir(dir.path()).entryInfoList(QDir::Files, QDir::Name);
        const LogRecordLoader::LoadedLog loaded = LogRecordLoader::loadLog(files);
        const RecordIndex index = indexOf(files, blockSize);
        QVERIFY(!loaded.records.empty());
        QCOMPARE(index.size(), loaded.records.size());
        QCOMPARE(index.cutLines(), loaded.cutLines);
        for (size_t row = 0; row < index.size(); ++row) {
            const QarnLog &expected = loaded.records[row];
            const std::optional<QarnLog> record = index.record(row);
            QVERIFY2(record && sameRecord(*record, expected), qPrintable(QString::number(row)));
            QCOMPARE(index.dateTime(row), expected.dateTime);
            const QString type = expected.logType.toLower();
            QCOMPARE(index.isError(row),
                type == QLatin1String("error") || type == QLatin1String("fatal"));
        }
    }

    // A line longer than the reader keeps is cut alike, and its record still ends where the
    // parser ends it: at the closing tag kept from the line's end.
    void cutLinesEndRecordsAlike()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("long_1.log")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<HEAD>[10]2023/02/28 10:00:00.000 <LN>Info</LN>\n<CONT>");
        file.write(QByteArray((qsizetype(64) << 20) + 10, 'x'));
        file.write("</CONT>\n<HEAD>[10]2023/02/28 09:00:00.000 <LN>Error</LN>\n<CONT>b</CONT>\n");
        file.close();
        const QList<QFileInfo> files {QFileInfo(file.fileName())};
        const LogRecordLoader::LoadedLog loaded = LogRecordLoader::loadLog(files);
        const RecordIndex index = indexOf(files, 1 << 20);
        QCOMPARE(index.size(), size_t(2));
        QCOMPARE(index.cutLines(), qsizetype(1));
        for (size_t row = 0; row < index.size(); ++row)
            QVERIFY(sameRecord(*index.record(row), loaded.records[row]));
    }

    // A file cut short after it was indexed gives no record rather than a wrong one.
    void truncatedFileGivesNoRecord()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t_1.log"));
        QVERIFY(LogGenerator(3).writeLog(dir.path(), QStringLiteral("t"), 1, 20'000) > 0);
        const RecordIndex index = indexOf({QFileInfo(path)}, 1 << 20);
        QVERIFY(index.size() > 10);
        QFile file(path);
        QVERIFY(file.resize(file.size() / 2));
        QVERIFY(index.record(0));
        QVERIFY(!index.record(index.size() - 1));
    }
};

QTEST_GUILESS_MAIN(TestRecordIndex)
#include "tst_recordindex.moc"
