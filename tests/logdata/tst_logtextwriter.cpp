#include "loggenerator.h"
#include "logtextwriter.h"
#include "qarnlogparser.h"

#include <QBuffer>
#include <QTest>

namespace {

using QarnLog = QarnLogParser::QarnLog;
using Records = std::vector<QarnLog>;

Records parse(const QByteArray &data)
{
    auto *buffer = new QBuffer;
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    return QarnLogParser::parse(buffer);
}

QStringList fieldsOf(const QarnLog &r)
{
    return {r.dateTime, r.logType, r.threadID, r.moduleName, r.cppFileName, r.cppLine, r.message};
}

} // namespace

Q_DECLARE_METATYPE(QarnLogParser::QarnLog)

// Written records must parse back into the records they were written from.
class TestLogTextWriter : public QObject
{
    Q_OBJECT

private slots:
    void recordReadsBack_data();
    void recordReadsBack();
    void selectedRowsReadBackInOrder();
};

void TestLogTextWriter::recordReadsBack_data()
{
    QTest::addColumn<QarnLog>("record");
    QTest::addColumn<QString>("dateRead");
    const QString date = "2023/02/28 12:34:56.789";
    QTest::newRow("plain") << QarnLog {date, "Info", "7", "Net", "a.cpp", "12", "Started"} << date;
    QTest::newRow("stack trace") << QarnLog {date, "Error", "0x1f", "Core", "b.cpp", "9",
        "Crash\n  at f()\n  at g()"}
                                 << date;
    QTest::newRow("block left open")
        << QarnLog {date, "Fatal", "", "", "", "", "first\nsecond\n"} << date;
    QTest::newRow("message from the next line")
        << QarnLog {date, "", "", "", "", "", "\nbody"} << date;
    QTest::newRow("empty") << QarnLog {date, "", "", "", "", "", ""} << date;
    QTest::newRow("non-ASCII") << QarnLog {date, "Warnung", "Поток-3", "Kamera", "日本.cpp", "1",
        "Grüße 😀 <x>"} << date;
    // A cut-short date keeps the tags out of the date's place, padded with blanks.
    QTest::newRow("short date") << QarnLog {"2023/02", "Info", "1", "M", "f", "2", "m"}
                                << QString("2023/02").leftJustified(23);
}

void TestLogTextWriter::recordReadsBack()
{
    QFETCH(QarnLog, record);
    QFETCH(QString, dateRead);
    const QString text = LogTextWriter::recordText(record);
    QVERIFY(text.startsWith("<HEAD>"));
    QVERIFY(text.endsWith("</CONT>\n"));
    const Records read = parse(text.toUtf8());
    QCOMPARE(read.size(), size_t(1));
    QarnLog expected = record;
    expected.dateTime = dateRead;
    QCOMPARE(fieldsOf(read[0]), fieldsOf(expected));
}

void TestLogTextWriter::selectedRowsReadBackInOrder()
{
    // Enough records for the text to be written by several threads.
    LogGeneratorOptions options;
    options.nonAsciiShare = 1;
    options.nonAsciiOutOf = 3;
    options.nonAsciiFields = true;
    LogGenerator generator(11, options);
    QByteArray log;
    for (int i = 0; i < 30000; ++i)
        log += generator.nextRecord(i * 10);
    const Records records = parse(log);
    QCOMPARE(records.size(), size_t(30000));
    std::vector<int> rows;
    for (int row = 0; row < 30000; row += 2)
        rows.push_back(row);
    const qsizetype begin = 5;
    const qsizetype end = qsizetype(rows.size()) - 3;

    const QString text = LogTextWriter::recordsText(records, rows, begin, end);
    const Records read = parse(text.toUtf8());
    QCOMPARE(read.size(), size_t(end - begin));
    for (qsizetype i = begin; i < end; ++i)
        QCOMPARE(fieldsOf(read[size_t(i - begin)]), fieldsOf(records[size_t(rows[size_t(i)])]));
    QCOMPARE(LogTextWriter::recordsText(records, rows, 7, 7), QString());
}

QTEST_GUILESS_MAIN(TestLogTextWriter)
#include "tst_logtextwriter.moc"
