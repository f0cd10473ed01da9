#include "recordscanner.h"

#include "filetaildevice.h"
#include "textencoding.h"
#include "textlinereader.h"

#include <QBuffer>
#include <QIODevice>
#include <QString>

#include <algorithm>
#include <string_view>

namespace {

constexpr std::string_view headTag = "<HEAD>";
constexpr std::string_view contClose = "</CONT>";
constexpr std::string_view typeOpen = "<LN>";
constexpr std::string_view typeClose = "</LN>";
constexpr qsizetype dateTimeStart = 10;
constexpr qsizetype dateTimeLength = 23;

// A line of the reader as UTF-16 text; ASCII lines come as bytes and are widened here only
// for the few characters that a header yields.
template<typename Ch>
bool startsWith(std::basic_string_view<Ch> line, std::string_view tag)
{
    if (line.size() < tag.size())
        return false;
    for (size_t i = 0; i < tag.size(); ++i) {
        if (line[i] != Ch(tag[i]))
            return false;
    }
    return true;
}

template<typename Ch>
size_t find(std::basic_string_view<Ch> line, std::string_view tag)
{
    if constexpr (std::is_same_v<Ch, char>) {
        return line.find(tag);
    } else {
        const std::u16string wide(tag.begin(), tag.end());
        return line.find(wide);
    }
}

QString toQString(std::u16string_view text)
{
    return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

// The type's value by the parser's tag rule, compared as the errors-only filter compares it.
template<typename Ch>
bool isErrorType(std::basic_string_view<Ch> line)
{
    const size_t open = find(line, typeOpen);
    const size_t close = find(line, typeClose);
    constexpr size_t npos = std::basic_string_view<Ch>::npos;
    if (open == npos && close == npos)
        return false;
    const size_t start = open == npos ? 0 : open + typeOpen.size();
    const auto value
        = close != npos && close >= start ? line.substr(start, close - start) : line.substr(start);
    // No character outside ASCII lower-cases to a letter of these two words, so bytes outside
    // ASCII need no decoding here.
    if (value.size() != 5)
        return false;
    const auto is = [&value](std::string_view word) {
        for (size_t i = 0; i < word.size(); ++i) {
            if ((value[i] | 0x20) != Ch(word[i]))
                return false;
        }
        return true;
    };
    return is("error") || is("fatal");
}

// The date of a header line as the parser cuts it: bytes outside ASCII before its end are
// decoded as the reader decodes the line.
void appendDate(TextLineReader &reader, DateColumn &dates)
{
    if (!reader.isAscii()) {
        dates.append(toQString(reader.textLine()).mid(dateTimeStart, dateTimeLength));
        return;
    }
    const std::string_view line = reader.asciiLine();
    const std::string_view start = line.substr(0, dateTimeStart + dateTimeLength);
    if (!std::all_of(start.begin(), start.end(), [](char c) { return uchar(c) < 0x80; })) {
        dates.append(QStringView(reader.decodedLine()).mid(dateTimeStart, dateTimeLength));
        return;
    }
    const std::string_view date = line.size() > size_t(dateTimeStart)
        ? line.substr(dateTimeStart, dateTimeLength)
        : std::string_view();
    dates.append(QLatin1StringView(date.data(), qsizetype(date.size())));
}

template<typename Fn>
auto withLine(const TextLineReader &reader, Fn &&fn)
{
    return reader.isAscii() ? fn(reader.asciiLine()) : fn(reader.textLine());
}

} // namespace

// Cut lines of the records dropped are counted again in tail: the count may only grow.
void RecordScanner::FileRecords::continueWith(size_t count, const FileRecords &tail)
{
    count = std::min(count, size());
    begins.truncate(count);
    ends.truncate(count);
    errors.truncate(count);
    dates.truncate(count);
    begins.append(tail.begins);
    ends.append(tail.ends);
    errors.append(tail.errors);
    dates.append(tail.dates);
    const auto kept = std::remove_if(unclosedBlocks.begin(), unclosedBlocks.end(),
        [count](const UnclosedBlock &block) { return block.local >= count; });
    unclosedBlocks.erase(kept, unclosedBlocks.end());
    for (const UnclosedBlock &block : tail.unclosedBlocks)
        unclosedBlocks.push_back({count + block.local, block.lines});
    cutLines += tail.cutLines;
    if (count == 0)
        byteOrderMark = tail.byteOrderMark;
}

size_t RecordScanner::FileRecords::memoryBytes() const
{
    return begins.memoryBytes() + ends.memoryBytes() + errors.memoryBytes() + dates.memoryBytes();
}

RecordScanner::FileRecords RecordScanner::scan(QIODevice *device, qsizetype blockSize)
{
    return scanPart(device, -1, toTheEnd, blockSize).records;
}

RecordScanner::Part RecordScanner::scanPart(
    QIODevice *device, qint64 after, qint64 stopAt, qsizetype blockSize)
{
    const bool atStart = after < 0;
    TextLineReader reader(device, blockSize, TextLineReader::defaultMaxLineBytes,
        atStart ? TextLineReader::Start::textStart : TextLineReader::Start::insideUtf8);
    reader.keepUtf8Undecoded();
    if (!atStart && !reader.readLine())
        return {};
    Part part = scanLines(reader, std::max<qint64>(after, 0), stopAt);
    part.records.byteOrderMark = reader.byteOrderMark();
    return part;
}

RecordScanner::Part RecordScanner::scanLines(TextLineReader &reader, qint64 base, qint64 stopAt)
{
    Part part;
    FileRecords &file = part.records;
    const auto noteCut = [&] {
        file.cutLines += reader.cutLineBytes() > 0 ? 1 : 0;
    };
    bool haveLine = reader.readLine();
    while (haveLine) {
        const bool header = withLine(reader, [](auto line) { return startsWith(line, headTag); });
        if (header && base + reader.lineOffset() >= stopAt) {
            part.stoppedAt = base + reader.lineOffset();
            break;
        }
        if (header && file.size() == 0)
            part.cutLinesBeforeFirst = file.cutLines;
        noteCut();
        if (!header) {
            haveLine = reader.readLine();
            continue;
        }
        file.begins.push_back(base + reader.lineOffset());
        appendDate(reader, file.dates);
        file.errors.push_back(withLine(reader, [](auto line) { return isErrorType(line); }));
        bool ended = false;
        qint64 blockLines = 0;
        qint64 headerLinesTaken = 0;
        while (!ended && reader.readLine()) {
            noteCut();
            ++blockLines;
            withLine(reader, [&](auto line) {
                ended = find(line, contClose) != decltype(line)::npos;
                headerLinesTaken += !ended && startsWith(line, headTag) ? 1 : 0;
            });
        }
        // A block left open by its writer takes in the next records' header lines, up to the
        // next closing tag or the end of the input.
        if (headerLinesTaken > 0)
            file.unclosedBlocks.push_back({file.begins.size() - 1, blockLines});
        file.ends.push_back(base + reader.nextLineOffset());
        haveLine = ended && reader.readLine();
    }
    return part;
}

// A part that took no record before the stop of the part before read only lines that part
// read: it is passed over.
RecordScanner::Joined RecordScanner::join(std::vector<Part> &&parts)
{
    Joined joined;
    if (parts.empty())
        return joined;
    joined.records = std::move(parts.front().records);
    qint64 stoppedAt = parts.front().stoppedAt;
    for (size_t next = 1; next < parts.size() && stoppedAt >= 0; ++next) {
        Part &part = parts[next];
        if (part.records.size() == 0 && part.stoppedAt == stoppedAt)
            continue;
        if (part.records.size() == 0 || part.records.begins[0] != stoppedAt)
            break;
        part.records.byteOrderMark = joined.records.byteOrderMark;
        joined.records.continueWith(joined.records.size(), part.records);
        joined.records.cutLines -= part.cutLinesBeforeFirst;
        stoppedAt = part.stoppedAt;
        part.records = {};
    }
    joined.unreadFrom = stoppedAt;
    return joined;
}

std::optional<RecordScanner::FileRecords> RecordScanner::scanTail(
    const QString &path, const QByteArray &byteOrderMark, qint64 offset)
{
    FileTailDevice device(path, byteOrderMark, offset);
    if (!device.open(QIODevice::ReadOnly))
        return std::nullopt;
    FileRecords tail = scan(&device);
    OffsetColumn begins;
    OffsetColumn ends;
    for (size_t record = 0; record < tail.size(); ++record) {
        begins.push_back(device.fileOffset(tail.begins[record]));
        ends.push_back(device.fileOffset(tail.ends[record]));
    }
    tail.begins = std::move(begins);
    tail.ends = std::move(ends);
    return tail;
}

std::vector<QarnLogParser::QarnLog> RecordScanner::parseBytes(
    const QByteArray &byteOrderMark, QByteArrayView bytes)
{
    auto *buffer = new QBuffer;
    // UTF-8 bytes are read where they are: starting with a header line, they cannot be taken
    // for another byte-order mark, and a record's bytes may be tens of megabytes.
    if (encodingOfMark(byteOrderMark) == TextEncoding::utf8)
        buffer->setData(QByteArray::fromRawData(bytes.data(), bytes.size()));
    else
        buffer->setData(byteOrderMark + bytes.toByteArray());
    buffer->open(QIODevice::ReadOnly);
    return QarnLogParser::parse(buffer);
}
