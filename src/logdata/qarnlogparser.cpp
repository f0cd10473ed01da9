#include "qarnlogparser.h"

#include "codeunitscan.h"
#include "textlinereader.h"

#include <QIODevice>
#include <QtAlgorithms>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace {

template<typename Ch>
using View = std::basic_string_view<Ch>;

constexpr std::string_view headTag = "<HEAD>";
constexpr std::string_view contOpen = "<CONT>";
constexpr std::string_view contClose = "</CONT>";
constexpr size_t dateTimeStart = 10;
constexpr size_t dateTimeLength = 23;

// The five header fields in record order, each an opening and a closing tag.
constexpr size_t fieldCount = 5;
constexpr std::array<std::string_view, 2 * fieldCount> headerTags {"<LN>", "</LN>", "<TID>",
    "</TID>", "<MNAME>", "</MNAME>", "<FILE>", "</FILE>", "<LINE>", "</LINE>"};

template<typename Ch>
bool hasTagAt(View<Ch> line, size_t pos, std::string_view tag)
{
    if (line.size() - pos < tag.size())
        return false;
    for (size_t i = 0; i < tag.size(); ++i) {
        if (line[pos + i] != Ch(tag[i]))
            return false;
    }
    return true;
}

// Hands out the places of '<' in a line in order, finding them a vector's width at a time:
// a header line has a dozen, and a search call for each costs more than the search.
template<typename Ch>
class BracketScanner
{
public:
    explicit BracketScanner(View<Ch> line)
        : line(line)
    { }

    // The next '<', or npos.
    size_t next()
    {
#if QT_COMPILER_USES(sse2)
        constexpr auto width = size_t(CodeUnitScan::lanes<Ch>);
        while (found == 0) {
            if (scanned + width > line.size())
                return nextInTail();
            found = CodeUnitScan::equalUnits(line.data() + scanned, Ch('<'));
            chunk = scanned;
            scanned += width;
        }
        const size_t at = chunk + size_t(qCountTrailingZeroBits(found));
        found &= found - 1;
        return at;
#else
        return nextInTail();
#endif
    }

private:
    size_t nextInTail()
    {
        const size_t at = line.find(Ch('<'), scanned);
        scanned = at == View<Ch>::npos ? line.size() : at + 1;
        return at;
    }

#if QT_COMPILER_USES(sse2)
    uint found = 0;
    size_t chunk = 0;
#endif
    View<Ch> line;
    size_t scanned = 0;
};

// Finds the first occurrence of each tag in one pass: every tag starts with '<'. The tags
// nearly always come in their listed order, so the next one in that order is tried first.
template<typename Ch, size_t N>
std::array<size_t, N> findTags(View<Ch> line, const std::array<std::string_view, N> &tags)
{
    std::array<size_t, N> found;
    found.fill(View<Ch>::npos);
    size_t missing = N;
    size_t next = 0;
    BracketScanner<Ch> brackets(line);
    for (size_t pos = brackets.next(); pos != View<Ch>::npos && missing > 0;
         pos = brackets.next()) {
        if (next < N && found[next] == View<Ch>::npos && hasTagAt(line, pos, tags[next])) {
            found[next++] = pos;
            --missing;
            continue;
        }
        for (size_t i = 0; i < N; ++i) {
            if (found[i] == View<Ch>::npos && hasTagAt(line, pos, tags[i])) {
                found[i] = pos;
                --missing;
                next = i + 1;
                break;
            }
        }
    }
    return found;
}

// The text between an opening tag at `open` and a closing tag at `close`. A missing opening
// tag counts as an empty one at the start of the line; a closing tag that is missing or comes
// before the value's start lets the value run to the end of the line.
template<typename Ch>
View<Ch> tagValue(View<Ch> line, size_t open, size_t openLength, size_t close)
{
    constexpr size_t npos = View<Ch>::npos;
    if (open == npos && close == npos)
        return {};
    const size_t start = open == npos ? 0 : open + openLength;
    if (close != npos && close >= start)
        return line.substr(start, close - start);
    return line.substr(start);
}

// Every string a record holds is an allocation of its own, sized to its text: a copy that
// is changed later (lower-cased, appended to) then grows from that size alone, whatever the
// code that changes it. Strings carved out of a shared block would carry the block's size
// into every such copy.
QString makeString(View<char> ascii)
{
    if (ascii.empty())
        return {};
    return QString::fromLatin1(ascii.data(), qsizetype(ascii.size()));
}

QString makeString(View<char16_t> text)
{
    if (text.empty())
        return {};
    return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

void append(QString &to, View<char> ascii)
{
    to.append(QLatin1String(ascii.data(), qsizetype(ascii.size())));
}

void append(QString &to, View<char16_t> text)
{
    to.append(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

// A further QString on the same characters as `string` that has not yet taken its reference:
// the caller counts such strings and adds them with addReferences before any of them can be
// released. An atomic increment per string is one of the parser's larger costs.
QString unreferencedCopy(QString &string)
{
    QString::DataPointer &data = string.data_ptr();
    return QString(QString::DataPointer(data.d_ptr(), data.data(), data.size));
}

void addReferences(QString &string, qsizetype count)
{
    if (count > 0)
        string.data_ptr().d_ptr()->ref_.fetchAndAddRelaxed(int(count));
}

// Hands out one shared string per distinct field value, so that the values that recur on
// nearly every record (types, threads, modules, files, lines) cost one allocation in all.
// Keyed by the characters of one kind of line (ASCII bytes or UTF-16).
template<typename Ch>
class FieldPool
{
public:
    FieldPool() = default;
    FieldPool(const FieldPool &) = delete;
    FieldPool &operator=(const FieldPool &) = delete;

    // The strings handed out take their references here, before the pool's own go.
    ~FieldPool()
    {
        for (Slot &slot : table)
            addReferences(slot.value, slot.handedOut);
    }

    QString get(View<Ch> value)
    {
        if (value.empty())
            return {};
        const size_t hash = hashOf(value);
        const size_t mask = table.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot &slot = table[i];
            if (slot.value.isNull())
                return insert(slot, hash, value);
            if (slot.hash == hash && holds(slot.value, value))
                return handOut(slot);
        }
    }

private:
    // Field values are short: a multiply-and-mix hash over eight bytes at a time is enough
    // for the table and much cheaper than a general string hash. Every load has a fixed width:
    // a copy of a variable number of bytes would stall the load that reads them back.
    static size_t hashOf(View<Ch> value)
    {
        const auto *bytes = reinterpret_cast<const unsigned char *>(value.data());
        const size_t length = value.size() * sizeof(Ch);
        const quint64 seed = 0x9E3779B97F4A7C15ull ^ length;
        if (length <= sizeof(quint64))
            return size_t(mix(seed ^ shortWord(bytes, length)));
        quint64 hash = seed;
        size_t at = 0;
        for (; at + 8 <= length; at += 8)
            hash = mix(hash ^ load<quint64>(bytes + at));
        if (at < length)
            hash = mix(hash ^ load<quint64>(bytes + length - 8));
        return size_t(hash);
    }

    // The bytes of a value of at most eight bytes in one word: two values of the same length
    // give the same word only when they are equal.
    static quint64 shortWord(const unsigned char *bytes, size_t length)
    {
        if (length >= 4)
            return load<quint32>(bytes) | quint64(load<quint32>(bytes + length - 4)) << 32;
        if (length == 0)
            return 0;
        return bytes[0] | quint64(bytes[length / 2]) << 8 | quint64(bytes[length - 1]) << 16;
    }

    template<typename Word>
    static Word load(const unsigned char *bytes)
    {
        Word word;
        std::memcpy(&word, bytes, sizeof word);
        return word;
    }

    static quint64 mix(quint64 x)
    {
        x *= 0xFF51AFD7ED558CCDull;
        return x ^ (x >> 32);
    }

    // Whether the slot's string holds the value, given that their hashes are equal. The hash of
    // at most eight bytes is their word mixed reversibly, so then equal lengths suffice and
    // the string's characters, elsewhere in memory, need not be read.
    static bool holds(const QString &stored, View<Ch> value)
    {
        if (stored.size() != qsizetype(value.size()))
            return false;
        if (value.size() * sizeof(Ch) <= sizeof(quint64) && sizeof(size_t) == sizeof(quint64))
            return true;
        const auto *chars = reinterpret_cast<const char16_t *>(stored.constData());
        return std::equal(
            value.begin(), value.end(), chars, [](Ch a, char16_t b) { return char16_t(a) == b; });
    }

    struct Slot
    {
        size_t hash = 0;
        QString value;
        qsizetype handedOut = 0;
    };

    static QString handOut(Slot &slot)
    {
        ++slot.handedOut;
        return unreferencedCopy(slot.value);
    }
    // Beyond this many distinct values the pool stops growing and values are not shared.
    static constexpr size_t maxSlots = size_t(1) << 18;

    QString insert(Slot &slot, size_t hash, View<Ch> value)
    {
        if (2 * (used + 1) > table.size()) {
            if (table.size() >= maxSlots)
                return makeString(value);
            grow();
            return get(value);
        }
        slot.hash = hash;
        slot.value = makeString(value);
        ++used;
        return handOut(slot);
    }

    void grow()
    {
        std::vector<Slot> old(2 * table.size());
        old.swap(table);
        const size_t mask = table.size() - 1;
        for (Slot &slot : old) {
            if (slot.value.isNull())
                continue;
            size_t i = slot.hash & mask;
            while (!table[i].value.isNull())
                i = (i + 1) & mask;
            table[i] = std::move(slot);
        }
    }

    std::vector<Slot> table = std::vector<Slot>(64);
    size_t used = 0;
};

// Builds records from header lines and message-block lines of either kind of line.
class RecordBuilder
{
public:
    // Fills the header fields of a new, empty record.
    template<typename Ch>
    void readHeader(View<Ch> line, QarnLogParser::QarnLog &log)
    {
        if (line.size() > dateTimeStart)
            log.dateTime = makeString(line.substr(dateTimeStart, dateTimeLength));
        const auto tags = findTags(line, headerTags);
        QString *fields[fieldCount]
            = {&log.logType, &log.threadID, &log.moduleName, &log.cppFileName, &log.cppLine};
        for (size_t field = 0; field < fieldCount; ++field) {
            const std::string_view open = headerTags[2 * field];
            *fields[field]
                = shared(field, tagValue(line, tags[2 * field], open.size(), tags[2 * field + 1]));
        }
        // Keeps the buffer's capacity for the next record.
        message.truncate(0);
        droppedUnits = 0;
        cutNote.clear();
    }

    // Marks the record being built as holding a line cut from bytes.
    void noteCutLine(qint64 bytes) { cutNote += cutNoteText("line", bytes); }

    // Applies one line of a message block; true when the line ends the block.
    template<typename Ch>
    bool addBlockLine(View<Ch> line)
    {
        const auto [open, close] = findTags(line, std::array {contOpen, contClose});
        constexpr size_t npos = View<Ch>::npos;
        if (open != npos) {
            message.truncate(0);
            const View<Ch> value = tagValue(line, open, contOpen.size(), close);
            if (close != npos) {
                // The usual one-line message becomes its string at once, without the buffer.
                finished = makeString(value);
                return true;
            }
            appendToMessage(value, true);
            return false;
        }
        if (close != npos) {
            appendToMessage(line.substr(0, close), false);
            return true;
        }
        if (!line.empty())
            appendToMessage(line, true);
        return false;
    }

    [[nodiscard]] QString takeMessage()
    {
        if (droppedUnits > 0)
            cutNote += cutNoteText("message", message.size() + droppedUnits);
        if (!finished.isNull())
            return withCutNote(std::exchange(finished, QString()));
        return withCutNote(makeString(View<char16_t>(
            reinterpret_cast<const char16_t *>(message.constData()), size_t(message.size()))));
    }

private:
    // A message keeps at most this many code units; lines past them are dropped and counted.
    static constexpr qsizetype maxMessageUnits = qsizetype(64) << 20;

    template<typename Ch>
    void appendToMessage(View<Ch> text, bool lineEnd)
    {
        const qsizetype size = qsizetype(text.size()) + (lineEnd ? 1 : 0);
        if (droppedUnits > 0 || message.size() + size > maxMessageUnits) {
            droppedUnits += size;
            return;
        }
        append(message, text);
        if (lineEnd)
            message.append(QLatin1Char('\n'));
    }

    static QString cutNoteText(const char *what, qint64 size)
    {
        return QStringLiteral("[cut: %1 of %2 MB]")
            .arg(QLatin1String(what))
            .arg((size + 999'999) / 1'000'000);
    }

    // The message with the notes of what was cut at its end.
    QString withCutNote(QString text)
    {
        if (cutNote.isEmpty())
            return text;
        const QString note = std::exchange(cutNote, QString());
        QString noted;
        noted.reserve(text.size() + 1 + note.size());
        noted.append(text);
        if (!noted.isEmpty())
            noted.append(QLatin1Char(' '));
        return noted.append(note);
    }

    QString shared(size_t field, View<char> value) { return asciiPools[field].get(value); }
    QString shared(size_t field, View<char16_t> value) { return textPools[field].get(value); }

    QString message;
    QString finished;
    qint64 droppedUnits = 0;
    QString cutNote;
    // The pools below are destroyed before the two strings above, and give every string they
    // handed out its reference before any of those strings can be released. One pool per
    // field: each stays small, and the few values of most fields stay in cache.
    std::array<FieldPool<char>, fieldCount> asciiPools;
    std::array<FieldPool<char16_t>, fieldCount> textPools;
};

template<typename Fn>
auto withLine(const TextLineReader &reader, Fn &&fn)
{
    return reader.isAscii() ? fn(reader.asciiLine()) : fn(reader.textLine());
}

void noteCutLine(
    const TextLineReader &reader, RecordBuilder &builder, QarnLogParser::ParseNotes &notes)
{
    if (reader.cutLineBytes() == 0)
        return;
    ++notes.cutLines;
    builder.noteCutLine(reader.cutLineBytes());
}

bool isHeader(const TextLineReader &reader)
{
    return withLine(reader, [](auto line) { return hasTagAt(line, 0, headTag); });
}

// Growing the list by doubling would move every record several times and touch fresh memory
// each time. Reserved room that is never written costs address space only, but address space
// may be limited too: a large sparse file, mostly zeros, would otherwise ask for tens of
// gigabytes, so the room is bounded (about 1.5 GB), and without the room the list grows as it
// must.
void reserveForSize(std::vector<QarnLogParser::QarnLog> &records, const QIODevice *device)
{
    constexpr qint64 typicalRecordBytes = 128;
    constexpr qint64 mostReserved = qint64(1) << 23;
    if (device->isSequential())
        return;
    try {
        records.reserve(size_t(std::clamp<qint64>(
            (device->size() - device->pos()) / typicalRecordBytes, 0, mostReserved)));
    } catch (const std::bad_alloc &) { }
}

} // namespace

std::vector<QarnLogParser::QarnLog> QarnLogParser::parse(QIODevice *device)
{
    ParseNotes notes;
    return parse(device, notes);
}

std::vector<QarnLogParser::QarnLog> QarnLogParser::parse(QIODevice *device, ParseNotes &notes)
{
    notes = ParseNotes();
    const std::unique_ptr<QIODevice> owned(device);
    std::vector<QarnLog> result;
    reserveForSize(result, device);
    TextLineReader reader(device);
    // After the records: it adds the references of their strings before they can go.
    RecordBuilder builder;
    bool haveLine = reader.readLine();
    while (haveLine) {
        if (!isHeader(reader)) {
            notes.cutLines += reader.cutLineBytes() > 0 ? 1 : 0;
            haveLine = reader.readLine();
            continue;
        }
        // Built in place: a record is a sizeable object, and there are millions.
        QarnLog &log = result.emplace_back();
        withLine(reader, [&](auto line) { builder.readHeader(line, log); });
        noteCutLine(reader, builder, notes);
        bool ended = false;
        while (!ended && reader.readLine()) {
            ended = withLine(reader, [&](auto line) { return builder.addBlockLine(line); });
            noteCutLine(reader, builder, notes);
        }
        log.message = builder.takeMessage();
        haveLine = ended && reader.readLine();
    }
    return result;
}
