// Feeds arbitrary bytes to the log parser and to its line reader, and compares both with the
// plain QTextStream reading of the same bytes; then checks that the record scanner finds each
// record's bytes, which decoded alone give the parsed record, and which read as bytes give its
// fields, search text and copy text.

#include "logtextwriter.h"
#include "qarnlogparser.h"
#include "recordscanner.h"
#include "referenceparser.h"
#include "searchtextstore.h"
#include "textlinereader.h"
#include "utf8record.h"
#include "utf8searchtext.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

namespace {

QBuffer *openBuffer(const QByteArray &data)
{
    auto *buffer = new QBuffer;
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

bool sameRecord(const QarnLogParser::QarnLog &a, const QarnLogParser::QarnLog &b)
{
    return a.dateTime == b.dateTime && a.logType == b.logType && a.threadID == b.threadID
        && a.moduleName == b.moduleName && a.cppFileName == b.cppFileName && a.cppLine == b.cppLine
        && a.message == b.message && a.line == b.line;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Small blocks make lines and characters cross block boundaries in short inputs.
void compareLines(const QByteArray &data, qsizetype blockSize)
{
    const QStringList expected = ReferenceParser::lines(data);
    QBuffer *buffer = openBuffer(data);
    TextLineReader reader(buffer, blockSize);
    qsizetype count = 0;
    while (reader.readLine()) {
        check(count < expected.size() && reader.toString() == expected.at(count));
        ++count;
    }
    check(count == expected.size());
    delete buffer;
}

// Compared in UTF-8: QString::fromUtf8 would drop a byte-order mark at the start.
bool spells(std::string_view bytes, const QString &text)
{
    return QByteArrayView(bytes.data(), qsizetype(bytes.size())) == text.toUtf8();
}

// ASCII bytes told to stand in a record's searched fields are in its search text lower-cased,
// whatever bytes stand around them.
void checkTextPlaces(const Utf8Record &record, std::string_view bytes, const QString &searchText)
{
    constexpr size_t lengths[] = {1, 4};
    for (size_t from = 0; from < bytes.size(); ++from) {
        for (const size_t length : lengths) {
            const std::string_view piece = bytes.substr(from, length);
            if (piece.size() == length && TextLineReader::isAsciiText(piece)
                && record.holdsInText(from, from + length))
                check(searchText.contains(
                    QString::fromLatin1(piece.data(), qsizetype(length)).toLower()));
        }
    }
}

// A UTF-8 record read from its bytes holds the parsed record's fields where they are valid
// UTF-8, and the search text and the copy text written from them are the parsed record's.
void compareBytesReading(const RecordScanner::FileRecords &scanned, const QByteArray &data,
    size_t index, const QarnLogParser::QarnLog &parsed)
{
    if (!scanned.byteOrderMark.isEmpty() && scanned.byteOrderMark != "\xEF\xBB\xBF")
        return;
    const qint64 begin = scanned.begins[index];
    const std::string_view bytes(data.constData() + begin, size_t(scanned.ends[index] - begin));
    static Utf8SearchText text;
    const bool written = text.write(bytes);
    if (written) {
        const QByteArray expected = SearchTextStore::searchTextOf(parsed).toUtf8();
        check(QByteArrayView(text.text().data(), qsizetype(text.text().size())) == expected);
        check(spells(text.dateTime(), parsed.dateTime));
    }
    // Written over the bytes themselves, as for a huge record, the text is the same.
    std::string over(bytes);
    static Utf8SearchText overText;
    check(overText.writeOver(over.data(), over.size()) == written);
    check(!written || (overText.text() == text.text() && overText.dateTime() == text.dateTime()));
    Utf8Record record;
    const QString searchText = SearchTextStore::searchTextOf(parsed);
    const bool placed = record.readMessagePlaces(bytes);
    if (placed)
        checkTextPlaces(record, bytes, searchText);
    check(placed == record.read(bytes));
    if (!placed)
        return;
    checkTextPlaces(record, bytes, searchText);
    check(spells(record.dateTime(), parsed.dateTime));
    const QString *fields[] = {&parsed.logType, &parsed.threadID, &parsed.moduleName,
        &parsed.cppFileName, &parsed.cppLine};
    bool valid
        = QByteArrayView(record.message().data(), qsizetype(record.message().size())).isValidUtf8();
    for (size_t field = 0; field < Utf8Record::headerFieldCount; ++field) {
        const std::string_view value = record.headerField(field);
        const bool fieldValid = QByteArrayView(value.data(), qsizetype(value.size())).isValidUtf8();
        check(!fieldValid || spells(value, *fields[field]));
        valid = valid && fieldValid;
    }
    check(!valid || spells(record.message(), parsed.message));
    check(
        !valid || LogTextWriter::recordText(record) == LogTextWriter::recordText(parsed).toUtf8());
}

void compareScan(
    const QByteArray &data, qsizetype blockSize, const std::vector<QarnLogParser::QarnLog> &records)
{
    QBuffer *buffer = openBuffer(data);
    const RecordScanner::FileRecords scanned = RecordScanner::scan(buffer, blockSize);
    delete buffer;
    check(scanned.size() == records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const qint64 begin = scanned.begins[i];
        check(begin >= 0 && begin <= scanned.ends[i] && scanned.ends[i] <= data.size());
        const auto decoded = RecordScanner::parseBytes(
            scanned.byteOrderMark, QByteArrayView(data).sliced(begin, scanned.ends[i] - begin));
        check(decoded.size() == 1 && sameRecord(decoded.front(), records[i]));
        check(scanned.dates.text(i) == records[i].dateTime);
        const QString type = records[i].logType.toLower();
        check((scanned.errors[i] != 0)
            == (type == QLatin1String("error") || type == QLatin1String("fatal")));
        compareBytesReading(scanned, data, i, records[i]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the block size; the rest is the file.
    const qsizetype blockSize = 1 + bytes[0] % 16;
    const QByteArray data(reinterpret_cast<const char *>(bytes) + 1, qsizetype(size - 1));
    compareLines(data, blockSize);
    const std::vector<QarnLogParser::QarnLog> records = QarnLogParser::parse(openBuffer(data));
    const std::vector<QarnLogParser::QarnLog> expected = ReferenceParser::parse(data);
    check(records.size() == expected.size());
    for (size_t i = 0; i < records.size(); ++i)
        check(sameRecord(records[i], expected[i]));
    compareScan(data, blockSize, records);
    return 0;
}
