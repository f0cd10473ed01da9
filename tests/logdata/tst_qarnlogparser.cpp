#include "loggenerator.h"
#include "qarnlogparser.h"
#include "referenceparser.h"
#include "searchtextstore.h"
#include "textlinereader.h"

#include <QBuffer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <algorithm>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
// Part of the sanitizer's runtime; GCC ships no header that declares it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

using Records = std::vector<QarnLogParser::QarnLog>;

const QByteArray headerA = "<HEAD>[25]2023/02/28 00:00:00.028 <LN>Warning</LN> <TID>1080</TID> "
                           "<MNAME>Decoder</MNAME> <FILE>h264decoder.cpp</FILE> <LINE>054</LINE>";
const QByteArray headerB = "<HEAD>[73]2023/02/28 00:00:01.055 <LN>Error</LN> <TID>7</TID> "
                           "<MNAME>Http</MNAME> <FILE>httpserver.cpp</FILE> <LINE>499</LINE>";

QBuffer *openBuffer(const QByteArray &data)
{
    auto *buffer = new QBuffer;
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

Records parse(const QByteArray &data)
{
    return QarnLogParser::parse(openBuffer(data));
}

QStringList messages(const Records &records)
{
    QStringList result;
    for (const auto &record : records)
        result.append(record.message);
    return result;
}

QStringList fieldsOf(const QarnLogParser::QarnLog &r)
{
    return {r.dateTime, r.logType, r.threadID, r.moduleName, r.cppFileName, r.cppLine};
}

QList<QStringList> texts(const Records &records)
{
    QList<QStringList> result;
    for (const auto &record : records)
        result.append(fieldsOf(record) << record.message);
    return result;
}

bool hasNonAscii(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0x7F; });
}

// The lines as the reader hands them out; a line that was cut is followed by its whole length.
QStringList readerLines(const QByteArray &data, qsizetype blockSize,
    qsizetype maxLineBytes = TextLineReader::defaultMaxLineBytes)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    TextLineReader reader(&buffer, blockSize, maxLineBytes);
    QStringList lines;
    while (reader.readLine()) {
        lines.append(reader.toString());
        if (reader.cutLineBytes() > 0)
            lines.append(QStringLiteral("cut from %1").arg(reader.cutLineBytes()));
    }
    return lines;
}

// Bytes the process has allocated and not freed, where the allocator tells; otherwise 0.
size_t allocatedBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#else
    return 0;
#endif
}

QByteArray encoded(const QString &text, QStringConverter::Encoding encoding)
{
    QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
    return encoder.encode(text);
}

// Serves its data, then fails on the next read, as a device can when memory runs out.
class ThrowingDevice : public QIODevice
{
public:
    explicit ThrowingDevice(QByteArray data = {})
        : data(std::move(data))
    { }

protected:
    qint64 readData(char *to, qint64 maxSize) override
    {
        if (served == data.size())
            throw std::bad_alloc();
        const qint64 size = std::min(maxSize, data.size() - served);
        std::memcpy(to, data.constData() + served, size_t(size));
        served += size;
        return size;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray data;
    qint64 served = 0;
};

// A device that says it is far larger than what it serves, as a large sparse file of zeros is.
class HugeSeemingBuffer : public QBuffer
{
public:
    [[nodiscard]] qint64 size() const override { return qint64(1) << 46; }
};

void expectParseToThrow(ThrowingDevice *device)
{
    device->open(QIODevice::ReadOnly);
    QPointer<ThrowingDevice> watched = device;
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, (void)QarnLogParser::parse(device));
    QVERIFY(watched.isNull());
}

} // namespace

class TestQarnLogParser : public QObject
{
    Q_OBJECT

private slots:
    void headerFields();
    void headerFields_data();
    void tagsInAnyOrder();
    void tagsAtEveryPlace();
    void recurringValuesKeepTheirOwnText();
    void messageBlocks();
    void messageBlocks_data();
    void unclosedBlockAbsorbsLaterHeaders();
    void skipsLinesOutsideRecords();
    void lineEndsAndEncodings();
    void invalidBytesReadAsTextStreamReadsThem();
    void linesMatchTextStream();
    void linesMatchTextStream_data();
    void linesPastTheLimitAreCut();
    void longLines();
    void deletesDeviceOnEveryPath();
    void generatedLog();
    void generatedContent();
    void generatedContent_data();
    void recordTextsBehaveAsStringsOfTheirOwn();
    void recordTextsBehaveAsStringsOfTheirOwn_data();
};

void TestQarnLogParser::headerFields_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("complete") << headerA
                              << QStringList {"2023/02/28 00:00:00.028", "Warning", "1080",
                                     "Decoder", "h264decoder.cpp", "054"};
    QTest::newRow("ten characters") << QByteArray("<HEAD>[25]") << QStringList(6);
    QTest::newRow("short date") << QByteArray("<HEAD>[25]2023/02")
                                << QStringList {"2023/02", "", "", "", "", ""};
    QTest::newRow("no thread pair")
        << QByteArray("<HEAD>[25]2023/02/28 00:00:00.028 <LN>Info</LN> <LINE>1</LINE>")
        << QStringList {"2023/02/28 00:00:00.028", "Info", "", "", "", "1"};
    QTest::newRow("open tag runs to the end")
        << QByteArray("<HEAD>[25]2023/02/28 00:00:00.028 <MNAME>Net <FILE>a.cpp</FILE>")
        << QStringList {"2023/02/28 00:00:00.028", "", "", "Net <FILE>a.cpp</FILE>", "a.cpp", ""};
    QTest::newRow("closing tag before opening tag") << QByteArray(
        "<HEAD>x</LN>yz<LN>Info") << QStringList {"N>yz<LN>Info", "Info", "", "", "", ""};
    QTest::newRow("closing tag alone")
        << QByteArray("<HEAD>x</TID>") << QStringList {"ID>", "", "<HEAD>x", "", "", ""};
    QTest::newRow("non-ASCII counts UTF-16 units")
        << QString("<HEAD>[é]😀2023/02/28 00:00:00.028 <LN>Fehler</LN>").toUtf8()
        << QStringList {QString("\xF0\x9F\x98\x80").mid(1) + "2023/02/28 00:00:00.02", "Fehler", "",
               "", "", ""};
}

void TestQarnLogParser::headerFields()
{
    QFETCH(QByteArray, header);
    QFETCH(QStringList, fields);
    const Records records = parse(header + "\n<CONT>m</CONT>\n");
    QCOMPARE(records.size(), size_t(1));
    const auto &r = records[0];
    QCOMPARE(fieldsOf(r), fields);
    QCOMPARE(r.message, QString("m"));
    QCOMPARE(r.line, 0);
}

void TestQarnLogParser::tagsInAnyOrder()
{
    const Records a = parse("<HEAD>[25]2023/02/28 00:00:00.028 <LN>E</LN><TID>1</TID>"
                            "<MNAME>M</MNAME><FILE>f</FILE><LINE>2</LINE>\n");
    const Records b = parse("<HEAD>[25]2023/02/28 00:00:00.028 <LINE>2</LINE><FILE>f</FILE>"
                            "<MNAME>M</MNAME><TID>1</TID><LN>E</LN>\n");
    QCOMPARE(a.size(), size_t(1));
    QCOMPARE(b.size(), size_t(1));
    QCOMPARE(fieldsOf(a[0]), fieldsOf(b[0]));
}

void TestQarnLogParser::tagsAtEveryPlace()
{
    // Tags, stray brackets and the message block's tags at every place relative to the line's
    // start and end, in lines read as bytes and lines read as UTF-16.
    for (const QString &filler : {QString("x"), QString("\u00e9")}) {
        for (int pad = 0; pad < 40; ++pad) {
            const QString gap = filler.repeated(pad);
            const QString text = "<HEAD>[25]2023/02/28 00:00:00.028 " + gap + "<<LN>a<b</LN>" + gap
                + "<TID>" + gap + "</TID><MNAME>m</MNAME><<FILE>f<</FILE><LINE>" + gap + "</LINE>\n"
                + gap + "<CONT>" + gap + "<</CONT>" + gap + "<\n";
            const Records records = parse(text.toUtf8());
            QCOMPARE(records.size(), size_t(1));
            const auto &record = records.front();
            QCOMPARE((QStringList {record.logType, record.threadID, record.moduleName,
                         record.cppFileName, record.cppLine, record.message}),
                (QStringList {"a<b", gap, "m", "f<", gap, gap + "<"}));
        }
    }
}

void TestQarnLogParser::recurringValuesKeepTheirOwnText()
{
    // Shared values are found by hash: values of every short length, some equal but for their
    // length or a NUL, values of up to nine characters that differ in one character only,
    // and longer ones equal but for their last character, each seen twice.
    QStringList values;
    const QString alphabet = QStringLiteral("ab`c") + QChar(0);
    for (const QChar first : alphabet) {
        values.append(first);
        for (const QChar second : alphabet)
            values.append(QString(first) + second);
    }
    for (qsizetype length = 3; length <= 9; ++length) {
        values.append(QString(length, QLatin1Char('a')));
        for (qsizetype at = 0; at < length; ++at)
            values.append(QString(length, QLatin1Char('a')).replace(at, 1, QLatin1Char('b')));
    }
    for (const QString &stem : {QString("12345678"), QString("module/name/")}) {
        for (const QChar last : alphabet)
            values.append(stem + last);
    }
    QString text;
    for (int round = 0; round < 2; ++round) {
        for (const QString &value : values)
            text += "<HEAD>[25]2023/02/28 00:00:00.028 <TID>" + value + "</TID>\n<CONT>m</CONT>\n";
    }
    for (const auto encoding : {QStringConverter::Utf8, QStringConverter::Utf16}) {
        const Records records = parse(encoded(text, encoding));
        QCOMPARE(records.size(), size_t(2 * values.size()));
        for (size_t i = 0; i < records.size(); ++i)
            QCOMPARE(records[i].threadID, values[qsizetype(i) % values.size()]);
    }
}

void TestQarnLogParser::messageBlocks_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("message");
    QTest::newRow("one line") << QByteArray("before<CONT>Started</CONT>after\n") << "Started";
    QTest::newRow("empty lines dropped")
        << QByteArray("<CONT>first\nsecond\n\nthird</CONT>\n") << "first\nsecond\nthird";
    QTest::newRow("blank line kept") << QByteArray("<CONT>a\n  \nb</CONT>") << "a\n  \nb";
    QTest::newRow("never closed") << QByteArray("<CONT>first\nsecond\n") << "first\nsecond\n";
    QTest::newRow("header is the last line") << QByteArray() << "";
    QTest::newRow("lines before the opening dropped")
        << QByteArray("alpha\n<CONT>beta</CONT>\n") << "beta";
    QTest::newRow("closing without opening keeps lines")
        << QByteArray("alpha\nbeta</CONT>tail\n") << "alpha\nbeta";
    QTest::newRow("closing before opening on one line")
        << QByteArray("x</CONT>y<CONT>rest\n") << "rest";
    QTest::newRow("later opening restarts")
        << QByteArray("<CONT>a\nb\n<CONT>c\nd</CONT>\n") << "c\nd";
    QTest::newRow("crlf") << QByteArray("<CONT>first\r\nsecond</CONT>\r\n") << "first\nsecond";
}

void TestQarnLogParser::messageBlocks()
{
    QFETCH(QByteArray, block);
    QFETCH(QString, message);
    const Records records = parse(headerA + "\n" + block);
    QCOMPARE(messages(records), QStringList {message});
}

void TestQarnLogParser::unclosedBlockAbsorbsLaterHeaders()
{
    const Records records
        = parse(headerA + "\n<CONT>a\n" + headerB + "\n<CONT>b</CONT>\n" + headerB + "\n");
    QCOMPARE(records.size(), size_t(2));
    QCOMPARE(records[0].logType, QString("Warning"));
    QCOMPARE(records[0].message, QString("b"));
    QCOMPARE(records[1].logType, QString("Error"));

    // A header right after a header is message text of the first record.
    const Records absorbed = parse(headerA + "\n" + headerB + "\nx</CONT>\n");
    QCOMPARE(messages(absorbed), QStringList {QString(headerB) + "\nx"});
}

void TestQarnLogParser::skipsLinesOutsideRecords()
{
    QCOMPARE(parse("").size(), size_t(0));
    QCOMPARE(parse("no header\n <HEAD>blank first\n<head>lower case\n").size(), size_t(0));
    const Records records = parse("junk\n" + headerA + "\n<CONT>a</CONT>\nstray\n<CONT>s</CONT>\n"
        + headerB + "<CONT>not read</CONT>\n<CONT>b</CONT>");
    QCOMPARE(messages(records), (QStringList {"a", "b"}));
}

void TestQarnLogParser::lineEndsAndEncodings()
{
    const QString text
        = QString(headerA) + "\n<CONT>Grüße\nüber 😀</CONT>\n" + QString(headerB) + "\n<CONT>tail";
    const QStringList expected = messages(parse(text.toUtf8()));
    QCOMPARE(expected, (QStringList {"Grüße\nüber 😀", "tail\n"}));

    QString crlf = text;
    crlf.replace("\n", "\r\n");
    QCOMPARE(messages(parse(crlf.toUtf8())), expected);
    for (const auto encoding : {QStringConverter::Utf8, QStringConverter::Utf16LE,
             QStringConverter::Utf16BE, QStringConverter::Utf32LE, QStringConverter::Utf32BE}) {
        const Records records = parse(encoded(text, encoding));
        QCOMPARE(messages(records), expected);
        QCOMPARE(messages(parse(encoded(crlf, encoding))), expected);
        QCOMPARE(records[1].logType, QString("Error"));
    }
    // A byte-order mark anywhere but at the start is a character.
    const QByteArray bom = "\xEF\xBB\xBF";
    QCOMPARE(messages(parse(bom + headerA + "\n" + bom + "<CONT>x</CONT>\n")), QStringList {"x"});
    QCOMPARE(messages(parse(headerA + "\n<CONT>" + bom + "x</CONT>\n")),
        QStringList {QChar(0xFEFF) + QString("x")});
    QCOMPARE(parse(bom + bom + headerA).size(), size_t(0));
}

void TestQarnLogParser::invalidBytesReadAsTextStreamReadsThem()
{
    const QByteArray bad = "a\xE2\x82 b\xC0\xAF c\xF0\x9F\x98";
    const Records records = parse(headerA + "\n<CONT>" + bad + "</CONT>\n");
    const QString expected = ReferenceParser::lines(bad + "\n").value(0);
    QVERIFY(expected.contains(QChar::ReplacementCharacter));
    QCOMPARE(messages(records), QStringList {expected});
}

void TestQarnLogParser::linesMatchTextStream_data()
{
    QTest::addColumn<QByteArray>("data");
    // Inputs that once read differently from QTextStream are kept here.
    QTest::newRow("mark split over blocks") << QByteArray("\xEF\xBB\xBF"
                                                          "EH");
    QTest::newRow("unfinished sequence at the end") << QByteArray("a\n\xE2\x82");
    QTest::newRow("unfinished sequence after cr") << QByteArray("a\r\xE2");
    QTest::newRow("cr at the end") << QByteArray("a\nb\r");
    QTest::newRow("lone cr") << QByteArray("\r");
    QTest::newRow("cr cr lf") << QByteArray("a\r\r\nb");
    QTest::newRow("broken sequence before lf") << QByteArray("\xF0\x9F\n\xF0\x9F\x98\x80x\n");
    QTest::newRow("utf-16 with odd tail") << encoded("ab\r\ncd", QStringConverter::Utf16LE) + "x";
    QTest::newRow("utf-32 cr at the end") << encoded("ab\ncd\r", QStringConverter::Utf32BE);
    QTest::newRow("utf-16 cr lf") << encoded("ab\r\n\r\ncd\r\n", QStringConverter::Utf16BE);
    QTest::newRow("utf-32 cr lf") << encoded("ab\r\n\r\ncd\r\n", QStringConverter::Utf32LE);
    QByteArray oneWide;
    for (int length = 0; length < 40; ++length) {
        for (int at = 0; at <= length; ++at)
            oneWide += QByteArray(at, 'a') + "\xC3\xA9" + QByteArray(length - at, 'a') + "\n";
    }
    QTest::newRow("one non-ASCII character at every place") << oneWide;
}

void TestQarnLogParser::linesMatchTextStream()
{
    QFETCH(QByteArray, data);
    const QStringList expected = ReferenceParser::lines(data);
    for (const qsizetype blockSize : {1, 2, 3, 5, 1 << 20})
        QCOMPARE(readerLines(data, blockSize), expected);
}

void TestQarnLogParser::linesPastTheLimitAreCut()
{
    // Ten bytes at most: the cut keeps whole UTF-8 sequences and surrogate pairs, and the end
    // of the line (two bytes here); the rest, however long, is skipped.
    const QString utf8Lines = "short\n0123456789ABCDEF\r\n012345678é+\n0123456789\n"
        + QString(100, QLatin1Char('x')) + "\nlast 0123456789";
    const QStringList utf8Expected = {"short", "0123456789EF", "cut from 16", "012345678+",
        "cut from 12", "0123456789", "xxxxxxxxxxxx", "cut from 100", "last 0123489", "cut from 15"};
    const QString wideLines = "abcd😀efg\nab\nabcdefgh\r\nz";
    const QStringList wideExpected = {"abcdg", "cut from 18", "ab", "abcdeh", "cut from 16", "z"};
    for (const qsizetype blockSize : {1, 2, 3, 5, 1 << 20}) {
        QCOMPARE(readerLines(utf8Lines.toUtf8(), blockSize, 10), utf8Expected);
        QCOMPARE(readerLines(encoded(wideLines, QStringConverter::Utf16LE), blockSize, 10),
            wideExpected);
    }

    // A record with a cut header line, one with a message line cut, one whose message has
    // more lines than a message keeps, and a line of NULs after them: each record says so.
    const QByteArray huge((qsizetype(65) << 20), 'x');
    QByteArray data = headerA + huge + "\n<CONT>first</CONT>\n" + headerB + "\n<CONT>" + huge
        + "</CONT>\n" + headerA + "\n<CONT>";
    for (int i = 0; i < 2; ++i)
        data += QByteArray(40 << 20, 'y') + "\n";
    data += "</CONT>\n" + QByteArray(70 << 20, '\0');
    QarnLogParser::ParseNotes notes;
    const Records records = QarnLogParser::parse(openBuffer(data), notes);
    QCOMPARE(records.size(), size_t(3));
    QCOMPARE(records[0].message, "first [cut: line of 69 MB]");
    QCOMPARE(records[1].threadID, "7");
    QVERIFY(records[1].message.endsWith("xxx [cut: line of 69 MB]"));
    QCOMPARE(records[1].message.size(), (qsizetype(64) << 20) + 264);
    QVERIFY(records[2].message.endsWith("yyy\n [cut: message of 84 MB]"));
    QCOMPARE(notes.cutLines, 3);
}

void TestQarnLogParser::longLines()
{
    const QByteArray longText(3 << 20, 'x');
    const Records records = parse(headerA + "\n<CONT>" + longText + "\n" + longText + "</CONT>");
    QCOMPARE(records.size(), size_t(1));
    QCOMPARE(records[0].message, QString(longText + "\n" + longText));
}

void TestQarnLogParser::deletesDeviceOnEveryPath()
{
    QPointer<QBuffer> empty = openBuffer({});
    QVERIFY(QarnLogParser::parse(empty).empty());
    QVERIFY(empty.isNull());

    QPointer<QBuffer> full = openBuffer(headerA);
    QCOMPARE(QarnLogParser::parse(full).size(), size_t(1));
    QVERIFY(full.isNull());

    auto *huge = new HugeSeemingBuffer;
    huge->setData(headerA);
    huge->open(QIODevice::ReadOnly);
    QCOMPARE(QarnLogParser::parse(huge).size(), size_t(1));

    expectParseToThrow(new ThrowingDevice);

    // Failing after megabytes of records, ASCII and not, which share field values: everything
    // made so far goes cleanly (the sanitizer builds check for it).
    QByteArray data;
    for (int i = 0; data.size() < (3 << 20); ++i) {
        data += i % 3 ? headerA : QByteArray(headerB).replace("Http", "Http\xc3\xa9");
        data += "\n<CONT>message " + QByteArray::number(i) + "\nsecond line</CONT>\n";
    }
    expectParseToThrow(new ThrowingDevice(data));
}

void TestQarnLogParser::generatedLog()
{
    QTemporaryDir dir;
    LogGenerator generator(7);
    const qint64 written = generator.writeLog(dir.path(), "Gen", 1, 3'000'000);
    QVERIFY(written > 1000);
    auto *file = new QFile(dir.filePath("Gen_1.log"));
    QVERIFY(file->open(QIODevice::ReadOnly));
    const Records records = QarnLogParser::parse(file);
    QCOMPARE(qint64(records.size()), written);
    for (size_t i = 1; i < records.size(); ++i) {
        QVERIFY(records[i - 1].dateTime <= records[i].dateTime);
        QVERIFY(!records[i].logType.isEmpty() && !records[i].message.isEmpty());
    }
    // Recurring values share one string.
    int sharedTypes = 0;
    for (size_t i = 1; i < records.size(); ++i)
        sharedTypes += records[i].logType.constData() == records[0].logType.constData();
    QVERIFY(sharedTypes > 0);
}

void TestQarnLogParser::generatedContent_data()
{
    QTest::addColumn<bool>("nonAsciiTexts");
    QTest::addColumn<bool>("nonAsciiFields");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<bool>("utf16");
    QTest::newRow("non-ASCII texts") << true << false << false << false;
    QTest::newRow("non-ASCII fields") << false << true << false << false;
    QTest::newRow("CR LF") << false << false << true << false;
    QTest::newRow("UTF-16") << false << false << false << true;
    QTest::newRow("all of them") << true << true << true << true;
}

void TestQarnLogParser::generatedContent()
{
    QFETCH(bool, nonAsciiTexts);
    QFETCH(bool, nonAsciiFields);
    QFETCH(bool, crlf);
    QFETCH(bool, utf16);
    QTemporaryDir dir;
    const auto generate = [&dir](const QString &name, const LogGeneratorOptions &options) {
        LogGenerator(5, options).writeLog(dir.path(), name, 1, 0);
        QFile file(dir.filePath(name + "_1.log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    LogGeneratorOptions options;
    options.recordsPerFile = 400;
    const Records plain = parse(generate("Plain", options));
    options.nonAsciiShare = nonAsciiTexts ? 1 : 0;
    options.nonAsciiFields = nonAsciiFields;
    const Records utf8 = parse(generate("Utf8", options));
    options.crlf = crlf;
    options.utf16 = utf16;
    const QByteArray data = generate("Stored", options);
    QCOMPARE(data.startsWith("\xFF\xFE"), utf16);
    const QString text
        = QStringDecoder(utf16 ? QStringConverter::Utf16 : QStringConverter::Utf8).decode(data);
    QCOMPARE(text.count(QStringLiteral("\r\n")), crlf ? text.count(QLatin1Char('\n')) : 0);

    const Records records = parse(data);
    QCOMPARE(texts(records), texts(ReferenceParser::parse(data)));
    QCOMPARE(texts(records), texts(utf8));
    QCOMPARE(plain.size(), size_t(options.recordsPerFile));
    QCOMPARE(records.size(), plain.size());
    // The options add to the plain log and leave the rest of it as it was.
    int fieldsWithNonAscii = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        QCOMPARE(records[i].dateTime, plain[i].dateTime);
        QCOMPARE(records[i].logType, plain[i].logType);
        QCOMPARE(hasNonAscii(records[i].message), nonAsciiTexts);
        if (!nonAsciiTexts)
            QCOMPARE(records[i].message, plain[i].message);
        for (const QString *field :
            {&records[i].threadID, &records[i].moduleName, &records[i].cppFileName})
            fieldsWithNonAscii += hasNonAscii(*field);
    }
    QCOMPARE(fieldsWithNonAscii > 0, nonAsciiFields);
}

void TestQarnLogParser::recordTextsBehaveAsStringsOfTheirOwn_data()
{
    QTest::addColumn<QString>("accent");
    QTest::addColumn<QStringConverter::Encoding>("encoding");
    QTest::newRow("ASCII lines") << QString() << QStringConverter::Utf8;
    QTest::newRow("UTF-8 with other scripts")
        << QString("Größe ошибка 磁盘已满 📷") << QStringConverter::Utf8;
    QTest::newRow("UTF-16 file") << QString("→ «ok» °C") << QStringConverter::Utf16LE;
}

// Whatever changes a copy of a record's text, the copy's storage grows from that text's own
// size: code far from the parser (search texts, filters, QML) appends to and folds copies.
void TestQarnLogParser::recordTextsBehaveAsStringsOfTheirOwn()
{
    QFETCH(QString, accent);
    QFETCH(QStringConverter::Encoding, encoding);
    QString text;
    QStringList expected;
    for (int i = 0; i < 5000; ++i) {
        const QString module = i % 7 ? QStringLiteral("Net") : "Net" + accent;
        const QString message = QString::number(i) + QString(i % 97 == 0 ? 9000 : i % 50, 'm')
            + (i % 3 ? QString() : accent);
        text += QString(headerA).replace("Decoder", module) + "\n<CONT>" + message + "</CONT>\n";
        expected.append(message);
    }
    const QByteArray data = encoded(text, encoding);
    const size_t allocatedBefore = allocatedBytes();
    Records records = QarnLogParser::parse(openBuffer(data));
    QCOMPARE(messages(records), expected);
    // The search texts change copies of every field, as any later code may.
    const SearchTextStore searchTexts = SearchTextStore::build(records);
    QVERIFY(allocatedBytes() - allocatedBefore < 16 * size_t(data.size()));
    for (const auto &record : records) {
        for (const QString *field : {&record.dateTime, &record.logType, &record.threadID,
                 &record.moduleName, &record.cppFileName, &record.cppLine, &record.message}) {
            QCOMPARE(field->utf16()[field->size()], char16_t(0));
            QString changed = *field;
            changed.append(QLatin1Char('x'));
            QVERIFY2(changed.capacity() <= 2 * changed.size() + 16, qPrintable(*field));
            QVERIFY(QString(*field).toLower().capacity() <= 2 * field->size() + 16);
        }
    }
    // Changing one record leaves its neighbours alone, and a record kept alone stays whole.
    records[10].message.append(QLatin1String("changed"));
    records[10].message[0] = QLatin1Char('x');
    records[11].message.truncate(1);
    QCOMPARE(records[9].message, expected[9]);
    QCOMPARE(records[12].message, expected[12]);
    QCOMPARE(records[10].message, "x0" + QString(10 % 50, 'm') + "changed");
    const QarnLogParser::QarnLog kept = records[4321];
    records.clear();
    QCOMPARE(kept.message, expected[4321]);
    QCOMPARE(kept.dateTime, "2023/02/28 00:00:00.028");
}

QTEST_GUILESS_MAIN(TestQarnLogParser)
#include "tst_qarnlogparser.moc"
