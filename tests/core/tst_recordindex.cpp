// The record index must give exactly the records that loading the whole log gives, in the same
// order, on any bytes: every field, the record numbers, the dates and the errors-only type test.
#include "indexedfinder.h"
#include "indexedrecordtext.h"
#include "kestrunecore.h"
#include "logfiltermodel.h"
#include "loggenerator.h"
#include "logmodel.h"
#include "logrecordloader.h"
#include "logtextwriter.h"
#include "offsetcolumn.h"
#include "parallelfor.h"
#include "paralleltextfinder.h"
#include "recordindex.h"
#include "testlogs.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringConverter>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

namespace {

using QarnLog = QarnLogParser::QarnLog;

// Files large enough to be merged on several threads, whose dates tie within and across files;
// in date order, or with every fifth record a few seconds early, as threads that log at once
// write them.
bool writeTiedDates(const QString &folder, int files, int recordsPerFile, bool jittered = false)
{
    for (int f = 0; f < files; ++f) {
        QByteArray bytes;
        for (int i = 0; i < recordsPerFile; ++i) {
            const int second = std::max(0, (i + 3 * f) / 7 - (jittered && i % 5 == 0 ? 3 : 0));
            bytes += QStringLiteral("<HEAD>[80]2023/02/28 %1:%2:%3.000 <LN>Info</LN> <TID>1</TID> "
                                    "<MNAME>M</MNAME> <FILE>f.cpp</FILE> <LINE>1</LINE>\n"
                                    "<CONT>file %4 record %5</CONT>\n")
                         .arg(second / 3600, 2, 10, QChar(u'0'))
                         .arg(second / 60 % 60, 2, 10, QChar(u'0'))
                         .arg(second % 60, 2, 10, QChar(u'0'))
                         .arg(f)
                         .arg(i)
                         .toLatin1();
        }
        QFile file(folder + QStringLiteral("/t_%1.log").arg(f));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) < 0)
            return false;
    }
    return true;
}

// Writes a generated log (non-ASCII, CR LF or UTF-16), three or twelve files of tied dates or
// sixty files of random lines.
bool writeCorpus(const QString &folder, const QString &corpus)
{
    if (corpus == QStringLiteral("ties"))
        return writeTiedDates(folder, 3, 25'000);
    if (corpus == QStringLiteral("many ties"))
        return writeTiedDates(folder, 12, 6'000);
    if (corpus == QStringLiteral("jittered ties"))
        return writeTiedDates(folder, 3, 25'000, true);
    if (corpus == QStringLiteral("random")) {
        QRandomGenerator random(23);
        for (int i = 0; i < 60; ++i) {
            QFile file(folder + QStringLiteral("/r_%1.log").arg(i));
            if (!file.open(QIODevice::WriteOnly) || file.write(randomLogFile(random)) < 0)
                return false;
        }
        return true;
    }
    LogGeneratorOptions options;
    options.nonAsciiShare = 1;
    options.nonAsciiOutOf = 3;
    options.nonAsciiFields = true;
    options.crlf = corpus == QStringLiteral("generated");
    options.utf16 = corpus == QStringLiteral("utf16");
    return LogGenerator(5, options).writeLog(folder, QStringLiteral("g"), 3, 300'000) > 0;
}

} // namespace

class TestRecordIndex : public QObject
{
    Q_OBJECT

private slots:
    // Read whole with the given block size, and read in parts of partBytes.
    void indexGivesTheLoadedRecords_data()
    {
        QTest::addColumn<QString>("corpus");
        QTest::addColumn<qsizetype>("blockSize");
        QTest::addColumn<qint64>("partBytes");
        QTest::newRow("generated, non-ASCII, CR LF")
            << QStringLiteral("generated") << qsizetype(1 << 20) << qint64(997);
        QTest::newRow("generated UTF-16, small blocks")
            << QStringLiteral("utf16") << qsizetype(7) << qint64(997);
        QTest::newRow("random bytes in every encoding")
            << QStringLiteral("random") << qsizetype(1 << 20) << qint64(13);
        QTest::newRow("random bytes, small blocks")
            << QStringLiteral("random") << qsizetype(5) << qint64(40);
        QTest::newRow("tied dates, merged in parts")
            << QStringLiteral("ties") << qsizetype(1 << 20) << qint64(1 << 18);
        QTest::newRow("tied dates in twelve files, merged in parts")
            << QStringLiteral("many ties") << qsizetype(1 << 20) << qint64(1 << 16);
        QTest::newRow("tied dates out of order, merged in parts")
            << QStringLiteral("jittered ties") << qsizetype(1 << 20) << qint64(1 << 18);
    }

    // The order of a column's dates is noted as they come; it must stay right as the column of a
    // growing file is cut back and continued.
    void dateOrderFollowsChanges()
    {
        const auto column = [](std::initializer_list<const char *> dates) {
            DateColumn made;
            for (const char *date : dates)
                made.append(QLatin1StringView(date));
            return made;
        };
        DateColumn dates = column({"10:00", "10:01", "09:59", "10:02"});
        QVERIFY(!dates.inOrder());
        dates.truncate(3);
        QVERIFY(!dates.inOrder());
        dates.truncate(2);
        QVERIFY(dates.inOrder());
        dates.append(column({"10:01", "10:05"}));
        QVERIFY(dates.inOrder());
        dates.append(column({"10:04"}));
        QVERIFY(!dates.inOrder());
        dates.truncate(4);
        dates.append(column({"10:06", "10:05"}));
        QVERIFY(!dates.inOrder());
        // A date of another shape is kept as text and compared as text.
        DateColumn mixed = column({"10:00 x", "10:00"});
        QVERIFY(!mixed.inOrder());
        mixed = column({"10:00", "10:00 x", "10:01"});
        QVERIFY(mixed.inOrder());
    }

    // Dates of more shapes than a column keys, some a prefix of another or parting from it at a
    // unit below or above the digits, compare, order and read back as their texts, also across
    // columns whose shapes stand in another order and once one column is appended to another.
    void datesOfManyShapesActAsTheirTexts()
    {
        const QStringList patterns {QStringLiteral("2023/02/28 10:00:00.000"),
            QStringLiteral("023/02/28 10:00:00.000 "), QStringLiteral("]2023/02/28 10:00:00.00"),
            QStringLiteral("2023/2/28 9:00:00.000"), QStringLiteral("2023/02/28"),
            QStringLiteral("2023/02/28 10"), QStringLiteral("2023/02/28!10"),
            QStringLiteral("2023/02/28~10"), QStringLiteral("2\u00e9023"), QString(),
            QStringLiteral("no digits"), QStringLiteral("1234567890123456789")};
        QRandomGenerator random(17);
        QStringList dates;
        for (int i = 0; i < 600; ++i) {
            QString date = patterns[random.bounded(patterns.size())];
            for (QChar &unit : date) {
                if (DateColumn::isDigit(unit.unicode()))
                    unit = QChar(char16_t(u'0' + random.bounded(i % 3 == 0 ? 2 : 10)));
            }
            // More shapes: some dates lose their last units.
            dates << date.left(date.size() - random.bounded(i % 7 == 0 ? 3 : 1));
        }
        // As the scanner gives them: ASCII dates as bytes when asked, others as text.
        const auto columnOf = [](const QStringList &texts, bool asBytes = false) {
            DateColumn column;
            for (const QString &text : texts) {
                const QByteArray bytes = text.toLatin1();
                if (asBytes && QString::fromLatin1(bytes) == text && !bytes.contains('\xE9'))
                    column.append(QLatin1StringView(bytes));
                else
                    column.append(QStringView(text));
            }
            return column;
        };
        const DateColumn forward = columnOf(dates);
        const DateColumn backward = columnOf(QStringList(dates.rbegin(), dates.rend()), true);
        DateColumn appended = columnOf(dates.mid(0, 300));
        appended.append(columnOf(dates.mid(300)));
        const auto last = size_t(dates.size() - 1);
        for (size_t a = 0; a <= last; ++a) {
            QCOMPARE(forward.text(a), dates[int(a)]);
            QCOMPARE(appended.text(a), dates[int(a)]);
            for (size_t b = 0; b <= last; ++b) {
                const bool expected = dates[int(a)] < dates[int(b)];
                if (forward.earlier(a, backward, last - b) != expected
                    || appended.earlier(a, forward, b) != expected)
                    QFAIL(qPrintable(dates[int(a)] + QStringLiteral(" against ") + dates[int(b)]));
            }
        }
        std::vector<quint32> expected(dates.size());
        std::iota(expected.begin(), expected.end(), quint32(0));
        std::stable_sort(expected.begin(), expected.end(),
            [&](quint32 a, quint32 b) { return dates[int(a)] < dates[int(b)]; });
        QVERIFY(forward.rowsInDateOrder() == expected);
        QVERIFY(appended.rowsInDateOrder() == expected);
        QVERIFY(!forward.inOrder());
        QStringList sorted = dates;
        std::sort(sorted.begin(), sorted.end());
        QVERIFY(columnOf(sorted).inOrder());
        // Appended keys take the places of their shapes here.
        DateColumn few = columnOf({QStringLiteral("10:00"), QStringLiteral("a1")});
        few.append(columnOf({QStringLiteral("b2"), QStringLiteral("a3"), QStringLiteral("10:01")}));
        QCOMPARE(few.text(2), QStringLiteral("b2"));
        QVERIFY(few.rowsInDateOrder() == std::vector<quint32>({0, 4, 1, 3, 2}));
    }

    // Offsets past 4 GiB, and a step of more than 4 GiB, read back as they were pushed, cut
    // back and continued at any row, and bound a search.
    void offsetsPastFourGibibytes()
    {
        constexpr qint64 gib = qint64(1) << 30;
        const std::vector<qint64> offsets {
            0, 5, 4 * gib - 1, 4 * gib, 4 * gib + 7, 13 * gib, 13 * gib + 1, 20 * gib, 3};
        const auto columnOf = [&](size_t first, size_t last) {
            OffsetColumn column;
            for (size_t row = first; row < last; ++row)
                column.push_back(offsets[row]);
            return column;
        };
        const size_t count = offsets.size();
        const OffsetColumn whole = columnOf(0, count);
        for (size_t cut = 0; cut <= count; ++cut) {
            OffsetColumn joined = columnOf(0, cut);
            joined.append(columnOf(cut, count));
            OffsetColumn cutBack = whole;
            cutBack.truncate(cut);
            cutBack.append(columnOf(cut, count));
            for (size_t row = 0; row < count; ++row) {
                QCOMPARE(joined[row], offsets[row]);
                QCOMPARE(cutBack[row], offsets[row]);
            }
        }
        for (size_t row = 0; row + 1 < count; ++row)
            QCOMPARE(whole.upperBound(0, count - 1, offsets[row]), row + 1);
        QCOMPARE(whole.upperBound(0, count - 1, 4 * gib - 2), size_t(2));
        OffsetColumn shortened = whole;
        shortened.truncate(3);
        shortened.push_back(4 * gib - 1);
        QCOMPARE(shortened[3], 4 * gib - 1);
    }

    void indexGivesTheLoadedRecords()
    {
        QFETCH(QString, corpus);
        QFETCH(qsizetype, blockSize);
        QFETCH(qint64, partBytes);
        QTemporaryDir dir;
        QVERIFY(writeCorpus(dir.path(), corpus));
        const QList<QFileInfo> files = QDir(dir.path()).entryInfoList(QDir::Files, QDir::Name);
        // A large log is merged in as many parts as threads, whatever the machine has.
        setThreadCount(3);
        const auto machineThreads = qScopeGuard([] { setThreadCount(0); });
        const LogRecordLoader::LoadedLog loaded = LogRecordLoader::loadLog(files);
        const RecordIndex whole = indexOf(files, blockSize);
        const auto inParts = LogRecordLoader::indexLog(files, nullptr, partBytes).index;
        QVERIFY(!loaded.records.empty());
        for (const RecordIndex *index : {&whole, inParts.get()}) {
            QCOMPARE(index->size(), loaded.records.size());
            QCOMPARE(index->cutLines(), loaded.cutLines);
            for (size_t row = 0; row < index->size(); ++row) {
                const QarnLog &expected = loaded.records[row];
                const std::optional<QarnLog> record = index->record(row);
                QVERIFY2(record && sameRecord(*record, expected), qPrintable(QString::number(row)));
                QCOMPARE(index->dateTime(row), expected.dateTime);
                const QString type = expected.logType.toLower();
                QCOMPARE(index->isError(row),
                    type == QLatin1String("error") || type == QLatin1String("fatal"));
                QCOMPARE(index->byteSize(row), whole.byteSize(row));
            }
            const auto blocks = index->unclosedBlocks();
            const auto wholeBlocks = whole.unclosedBlocks();
            QVERIFY(std::equal(blocks.begin(), blocks.end(), wholeBlocks.begin(), wholeBlocks.end(),
                [](const auto &a, const auto &b) { return a.row == b.row && a.lines == b.lines; }));
        }
    }

    // The same log held in memory and indexed gives the same answer to every role, every
    // filter and every find, with texts that cross the fields' separator, hold a line break,
    // name a tag or change length when lower-cased.
    void indexedModelAnswersAsInMemory_data()
    {
        QTest::addColumn<QString>("corpus");
        QTest::newRow("generated") << QStringLiteral("generated");
        QTest::newRow("UTF-16") << QStringLiteral("utf16");
        QTest::newRow("random") << QStringLiteral("random");
    }

    void indexedModelAnswersAsInMemory()
    {
        QFETCH(QString, corpus);
        QTemporaryDir dir;
        QVERIFY(writeCorpus(dir.path(), corpus));
        const QList<QFileInfo> files = QDir(dir.path()).entryInfoList(QDir::Files, QDir::Name);
        LogModel inMemory;
        inMemory.setRecords(LogRecordLoader::loadLog(files).records);
        LogModel indexed;
        indexed.setIndex(LogRecordLoader::indexLog(files).index);
        QCOMPARE(indexed.rowCount(), inMemory.rowCount());
        for (int row = 0; row < inMemory.rowCount(); ++row) {
            for (int role = LogModel::dateTimeRole; role <= LogModel::searchTextRole; ++role)
                QCOMPARE(indexed.index(row).data(role), inMemory.index(row).data(role));
        }
        // What copies take: the records' text and each message, in UTF-8 where it can carry them.
        const std::vector<QarnLog> &records = inMemory.allRecords();
        std::vector<int> rows(records.size());
        std::iota(rows.begin(), rows.end(), 0);
        const QString written
            = LogTextWriter::recordsText(records, rows, 0, qsizetype(rows.size()));
        const auto copied = IndexedRecordText::records(*indexed.recordIndex(), rows);
        QCOMPARE(copied.has_value(), QStringView(written).isValidUtf16());
        QCOMPARE(copied.value_or(QByteArray()), copied ? written.toUtf8() : QByteArray());
        for (size_t row = 0; row < records.size(); ++row) {
            const auto message = IndexedRecordText::message(*indexed.recordIndex(), row);
            QCOMPARE(message.has_value(), QStringView(records[row].message).isValidUtf16());
            QCOMPARE(message.value_or(QByteArray()),
                message ? records[row].message.toUtf8() : QByteArray());
        }
        const QStringList texts {QStringLiteral("error"), QStringLiteral("zzz"),
            QStringLiteral("rzzz"), QStringLiteral("errorzzz"), QStringLiteral("k"),
            QStringLiteral("i\u0307"), QStringLiteral("<tid>"), QStringLiteral("<cont>"),
            QStringLiteral("one\nclose"), QStringLiteral("\n"), QStringLiteral("\r"),
            QStringLiteral("\u00e9"), QStringLiteral("\ufffd"), QStringLiteral("a\u0000b"),
            QStringLiteral("grüße"), QStringLiteral("2023/02/28 10"),
            QStringLiteral("no such text")};
        LogFilterModel memoryFilter;
        memoryFilter.setSourceModel(&inMemory);
        LogFilterModel indexFilter;
        indexFilter.setSourceModel(&indexed);
        // A third of the log: from a record's whole date to the start of a later one's.
        const auto third = size_t(inMemory.rowCount() / 3);
        const QString laterDate = inMemory.dateTimeAt(2 * third);
        const DateRange middle {inMemory.dateTimeAt(third), laterDate.left(laterDate.size() - 4)};
        for (const QString &text : texts) {
            for (const bool onlyErrors : {false, true}) {
                const QVariantList filter {text, QStringLiteral("m")};
                for (const bool anyOf : {true, false}) {
                    for (const DateRange &range : {DateRange(), middle}) {
                        memoryFilter.setFilter(filter, anyOf, onlyErrors, range);
                        indexFilter.setFilter(filter, anyOf, onlyErrors, range);
                        QCOMPARE(
                            indexFilter.acceptedSourceRows(), memoryFilter.acceptedSourceRows());
                    }
                }
            }
            // The finds search the rows of the last filter without a range.
            memoryFilter.setFilter({text, QStringLiteral("m")}, false, true);
            const std::vector<int> &rows = memoryFilter.acceptedSourceRows();
            const IndexedFinder indexFinder(*indexed.recordIndex(), text);
            const ParallelTextFinder memoryFinder(text);
            const auto count = qsizetype(rows.size());
            for (const qsizetype from : {qsizetype(0), count / 2}) {
                QCOMPARE(indexFinder.findFirst(rows, from, count),
                    memoryFinder.findFirst(*inMemory.fetchSearchTexts(), rows, from, count));
                QCOMPARE(indexFinder.findLast(rows, 0, from + 1),
                    memoryFinder.findLast(*inMemory.fetchSearchTexts(), rows, 0, from + 1));
            }
        }
    }

    // A message block that a crashed writer never closed takes in the records after it, as the
    // format says; the log's status line and the record's own notice say so.
    void unclosedBlocksAreTold()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("crash_1.log")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<HEAD>[10]2023/02/28 10:00:00.000 <LN>Info</LN>\n<CONT>ok</CONT>\n"
                   "<HEAD>[10]2023/02/28 10:00:01.000 <LN>Info</LN>\n<CONT>cut off\n"
                   "<HEAD>[10]2023/02/28 10:00:02.000 <LN>Info</LN>\n<CONT>lost</CONT>\n"
                   "<HEAD>[10]2023/02/28 10:00:03.000 <LN>Info</LN>\n<CONT>lost too\n");
        file.close();
        KestruneCore core(dir.path());
        QVERIFY(core.openLog(dir.path(), QStringLiteral("crash")));
        QCOMPARE(core.logStatus(dir.path(), QStringLiteral("crash")),
            QStringLiteral("1 message block was never closed; it took in 3 lines (record 1)"));
        QVERIFY(core.recordNotice(dir.path(), QStringLiteral("crash"), 0).isEmpty());
        QVERIFY(core.recordNotice(dir.path(), QStringLiteral("crash"), 1)
                    .contains(QStringLiteral("3 lines")));
        // The filter's rows, not the records, are what the window passes.
        core.containsOnly({QStringLiteral("lost")});
        QVERIFY(core.recordNotice(dir.path(), QStringLiteral("crash"), 0)
                    .contains(QStringLiteral("3 lines")));
        QVERIFY(core.recordNotice(dir.path(), QStringLiteral("crash"), 1).isEmpty());
    }

    // A line longer than the reader keeps is cut alike, and its record still ends where the
    // parser ends it: at the closing tag kept from the line's end.
    // A cut message line and a cut line between records, read whole and in two parts: the
    // second part starts in the message and reads the line between again, which counts once.
    void cutLinesEndRecordsAlike()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("long_1.log")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const qsizetype longLine = (qsizetype(64) << 20) + 10;
        file.write("<HEAD>[10]2023/02/28 10:00:00.000 <LN>Info</LN>\n<CONT>");
        file.write(QByteArray(longLine + (6 << 20), 'x'));
        file.write("</CONT>\n");
        file.write(QByteArray(longLine, 'y'));
        file.write("\n<HEAD>[10]2023/02/28 09:00:00.000 <LN>Error</LN>\n<CONT>b</CONT>\n");
        file.close();
        const QList<QFileInfo> files {QFileInfo(file.fileName())};
        const LogRecordLoader::LoadedLog loaded = LogRecordLoader::loadLog(files);
        QCOMPARE(loaded.cutLines, qsizetype(2));
        const RecordIndex whole = indexOf(files, 1 << 20);
        const auto inParts = LogRecordLoader::indexLog(files, nullptr, file.size() / 2).index;
        for (const RecordIndex *index : {&whole, inParts.get()}) {
            QCOMPARE(index->size(), size_t(2));
            QCOMPARE(index->cutLines(), loaded.cutLines);
            for (size_t row = 0; row < index->size(); ++row)
                QVERIFY(sameRecord(*index->record(row), loaded.records[row]));
        }
    }

    // Records of megabytes, whose texts a filter writes over their own bytes where it can: a
    // one-line message, a text ahead of it longer than its header line, a message whose lower
    // case is longer ("İ"), and one of several lines.
    void hugeRecordsFilterAsInMemory()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("huge_1.log")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray big(2 << 20, 'X');
        const QByteArray head = "<HEAD>[10]2023/02/28 10:00:00.000 <LN>Info</LN> <TID>T";
        file.write(head + "</TID>\n<CONT>Needle " + big + " END</CONT>\n");
        file.write(
            "<HEAD>[10]2023/02/28 10:00:00.000 <LN>Info <TID>T <MNAME>M <FILE>File\n<CONT><LN>"
            + big + "</CONT>\n");
        file.write(head + "</TID>\n<CONT>\xC4\xB0 " + big + "</CONT>\n");
        file.write(head + "</TID>\n<CONT>two\n" + big + "</CONT>\n");
        file.close();
        const QList<QFileInfo> files {QFileInfo(file.fileName())};
        LogModel inMemory;
        inMemory.setRecords(LogRecordLoader::loadLog(files).records);
        LogModel indexed;
        indexed.setIndex(LogRecordLoader::indexLog(files).index);
        LogFilterModel memoryFilter;
        memoryFilter.setSourceModel(&inMemory);
        LogFilterModel indexFilter;
        indexFilter.setSourceModel(&indexed);
        for (const QString &text : {QStringLiteral("zzzneedle x"), QStringLiteral("xx end"),
                 QStringLiteral("filezzz<ln>x"), QStringLiteral("i\u0307 x"),
                 QStringLiteral("two\nx"), QStringLiteral("2023/02/28 10:00:00.000zzzinfo")}) {
            memoryFilter.setFilter({text}, true, false);
            indexFilter.setFilter({text}, true, false);
            QCOMPARE(indexFilter.acceptedSourceRows(), memoryFilter.acceptedSourceRows());
            QCOMPARE(indexFilter.rowCount() > 0, true);
        }
    }

    // A file removed, cut short, rewritten or appended to after it was indexed gives its
    // records while it still holds them, and no record rather than a wrong one once it does not.
    void changedFilesGiveNoWrongRecord_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("readable");
        QTest::newRow("removed") << QStringLiteral("remove") << true;
        QTest::newRow("appended to") << QStringLiteral("append") << true;
        QTest::newRow("cut to nothing") << QStringLiteral("empty") << false;
        QTest::newRow("cut in a record") << QStringLiteral("half") << false;
        QTest::newRow("rewritten, same size") << QStringLiteral("rewrite") << false;
    }

    void changedFilesGiveNoWrongRecord()
    {
        QFETCH(QString, change);
        QFETCH(bool, readable);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t_1.log"));
        QVERIFY(LogGenerator(3).writeLog(dir.path(), QStringLiteral("t"), 1, 20'000) > 0);
        const RecordIndex index = indexOf({QFileInfo(path)}, 1 << 20);
        const size_t last = index.size() - 1;
        const std::optional<QarnLog> before = index.record(last);
        QVERIFY(before);
        QFile file(path);
        const qint64 size = file.size();
        if (change == QStringLiteral("remove")) {
            QVERIFY(file.remove());
        } else if (change == QStringLiteral("append")) {
            QVERIFY(file.open(QIODevice::Append));
            file.write("<HEAD>[10]2023/03/01 00:00:00.000 <LN>Info</LN>\n<CONT>new</CONT>\n");
        } else if (change == QStringLiteral("rewrite")) {
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray other = file.readAll().replace("2023/02/28", "2023/02/27");
            QVERIFY(file.seek(0));
            QCOMPARE(file.write(other), size);
        } else {
            QVERIFY(file.resize(change == QStringLiteral("empty") ? 0 : size / 2));
        }
        file.close();
        const std::optional<QarnLog> after = index.record(last);
        QCOMPARE(bool(after), readable);
        if (after)
            QVERIFY(sameRecord(*after, *before));
        std::vector<int> rows(index.size());
        std::iota(rows.begin(), rows.end(), 0);
        QCOMPARE(bool(index.records(rows.data(), rows.size())), readable);
    }
};

QTEST_GUILESS_MAIN(TestRecordIndex)
#include "tst_recordindex.moc"
