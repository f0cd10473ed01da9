// Feeds arbitrary bytes to the log parser and to its line reader, and compares both with the
// plain QTextStream reading of the same bytes; then checks that the record scanner finds each
// record's bytes, which decoded alone give the parsed record, and which read as bytes give its
// fields, search text and copy text.

#include "logtextwriter.h"
#include "qarnlogparser.h"
#include "recordscanner.h"
#include "referenceparser.h"
#include "searchtextstore.h"
#include "taggedrecord.h"
#include "textencoding.h"
#include "textlinereader.h"
#include "textprefilter.h"
#include "utf8searchtext.h"

#include <QBuffer>
#include <QStringConverter>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numeric>

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

// ASCII units told to stand in a record's searched fields are in its search text lower-cased,
// whatever units stand around them.
template<typename Ch>
void checkTextPlaces(
    const TaggedRecord<Ch> &record, std::basic_string_view<Ch> units, const QString &searchText)
{
    constexpr size_t lengths[] = {1, 4};
    for (size_t from = 0; from < units.size(); ++from) {
        for (const size_t length : lengths) {
            const std::basic_string_view<Ch> piece = units.substr(from, length);
            QString text;
            for (const Ch unit : piece)
                text.append(QChar(char16_t(unit)));
            const bool ascii = std::all_of(piece.begin(), piece.end(),
                [](Ch unit) { return std::make_unsigned_t<Ch>(unit) < 0x80; });
            if (piece.size() == length && ascii && record.holdsInText(from, from + length))
                check(searchText.contains(text.toLower()));
        }
    }
}

// Reads a record both ways: where only the places of its searched fields are read, they hold
// what its search text holds.
template<typename Ch>
bool readPlaces(
    TaggedRecord<Ch> &record, std::basic_string_view<Ch> units, const QString &searchText)
{
    const bool placed = record.readTextPlaces(units, units.size());
    if (placed)
        checkTextPlaces(record, units, searchText);
    check(placed == record.read(units));
    if (placed)
        checkTextPlaces(record, units, searchText);
    return placed;
}

// A record of a UTF-16 file in this machine's byte order read from its code units.
void compareUtf16Reading(std::string_view bytes, const QarnLogParser::QarnLog &parsed)
{
    if (bytes.size() % 2 != 0)
        return;
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), bytes.size());
    Utf16Record record;
    if (readPlaces(record, std::u16string_view(units), SearchTextStore::searchTextOf(parsed)))
        check(QStringView(record.dateTime()) == parsed.dateTime);
}

// A UTF-8 record read from its bytes holds the parsed record's fields where they are valid
// UTF-8, and the search text and the copy text written from them are the parsed record's.
void compareBytesReading(const RecordScanner::FileRecords &scanned, const QByteArray &data,
    size_t index, const QarnLogParser::QarnLog &parsed)
{
    const qint64 begin = scanned.begins[index];
    const std::string_view bytes(data.constData() + begin, size_t(scanned.ends[index] - begin));
    if (encodingOfMark(scanned.byteOrderMark) == nativeUtf16)
        compareUtf16Reading(bytes, parsed);
    if (!scanned.byteOrderMark.isEmpty() && scanned.byteOrderMark != "\xEF\xBB\xBF")
        return;
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
    if (!readPlaces(record, bytes, SearchTextStore::searchTextOf(parsed)))
        return;
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

// The records of UTF-8 data read in parts cut every `step` bytes, joined as the loader joins
// them.
RecordScanner::FileRecords scanInParts(const QByteArray &data, qint64 step, qsizetype blockSize)
{
    const auto partFrom = [&data, blockSize](qint64 after, qint64 stopAt) {
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        buffer.seek(std::max<qint64>(after, 0));
        return RecordScanner::scanPart(&buffer, after, stopAt, blockSize);
    };
    std::vector<RecordScanner::Part> parts;
    for (qint64 cut = 0; cut < data.size(); cut += step) {
        const qint64 next = cut + step < data.size() ? cut + step : RecordScanner::toTheEnd;
        parts.push_back(partFrom(cut == 0 ? -1 : cut - 1, next));
    }
    RecordScanner::Joined joined = RecordScanner::join(std::move(parts));
    if (joined.unreadFrom >= 0) {
        RecordScanner::Part rest = partFrom(joined.unreadFrom - 1, RecordScanner::toTheEnd);
        rest.records.byteOrderMark = joined.records.byteOrderMark;
        joined.records.continueWith(joined.records.size(), rest.records);
    }
    return std::move(joined.records);
}

void compareParts(
    const QByteArray &data, qsizetype blockSize, const RecordScanner::FileRecords &whole)
{
    const auto encoding = QStringConverter::encodingForData(data);
    if (data.isEmpty() || (encoding && *encoding != QStringConverter::Utf8))
        return;
    const RecordScanner::FileRecords parts = scanInParts(data, 1 + blockSize * 37, blockSize);
    check(parts.size() == whole.size() && parts.cutLines == whole.cutLines
        && parts.byteOrderMark == whole.byteOrderMark);
    for (size_t i = 0; i < whole.size(); ++i) {
        check(parts.begins[i] == whole.begins[i] && parts.ends[i] == whole.ends[i]);
        check(parts.dates.text(i) == whole.dates.text(i) && parts.errors[i] == whole.errors[i]);
    }
    check(parts.unclosedBlocks.size() == whole.unclosedBlocks.size());
    for (size_t i = 0; i < whole.unclosedBlocks.size(); ++i) {
        check(parts.unclosedBlocks[i].local == whole.unclosedBlocks[i].local
            && parts.unclosedBlocks[i].lines == whole.unclosedBlocks[i].lines);
    }
}

// A text taken from one record's search text, in its file's bytes, rules out no record whose
// search text holds it.
void comparePrefilter(const QByteArray &data, const RecordScanner::FileRecords &scanned,
    const std::vector<QarnLogParser::QarnLog> &records)
{
    if (records.empty())
        return;
    const auto choice = size_t(data.size());
    const QString source = SearchTextStore::searchTextOf(records[choice % records.size()]);
    const QString needle
        = source.mid(source.isEmpty() ? 0 : qsizetype(choice % size_t(source.size())),
            qsizetype(1 + choice % 6));
    const TextPrefilter prefilter({needle}, true, encodingOfMark(scanned.byteOrderMark));
    const qint64 start = scanned.begins[0];
    std::vector<size_t> ends;
    for (size_t i = 0; i < records.size(); ++i)
        ends.push_back(size_t(scanned.ends[i] - start));
    std::vector<char> candidates(records.size(), 0);
    prefilter.markCandidates(
        std::string_view(data.constData() + start, ends.back()), ends, candidates.data());
    for (size_t i = 0; i < records.size(); ++i)
        check(candidates[i] || !SearchTextStore::searchTextOf(records[i]).contains(needle));
}

// The records' order by their date texts, as the merge puts them, equal dates in file order.
void compareDateOrder(const DateColumn &dates, const std::vector<QarnLogParser::QarnLog> &records)
{
    std::vector<quint32> expected(records.size());
    std::iota(expected.begin(), expected.end(), quint32(0));
    std::stable_sort(expected.begin(), expected.end(),
        [&](quint32 a, quint32 b) { return records[a].dateTime < records[b].dateTime; });
    check(dates.rowsInDateOrder() == expected);
    check(dates.inOrder()
        == std::is_sorted(records.begin(), records.end(),
            [](const auto &a, const auto &b) { return a.dateTime < b.dateTime; }));
}

void compareScan(
    const QByteArray &data, qsizetype blockSize, const std::vector<QarnLogParser::QarnLog> &records)
{
    QBuffer *buffer = openBuffer(data);
    const RecordScanner::FileRecords scanned = RecordScanner::scan(buffer, blockSize);
    delete buffer;
    compareParts(data, blockSize, scanned);
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
    comparePrefilter(data, scanned, records);
    compareDateOrder(scanned.dates, records);
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
