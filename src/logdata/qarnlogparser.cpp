#include "qarnlogparser.h"

#include "fieldpool.h"
#include "recordtags.h"
#include "textlinereader.h"

#include <QIODevice>
#include <QtAlgorithms>

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>
#include <utility>

namespace {

using namespace RecordTags;

// Builds records from header lines and message-block lines of either kind of line.
class RecordBuilder
{
public:
    // Fills the header fields of a new, empty record.
    template<typename Ch>
    void readHeader(View<Ch> line, QarnLogParser::QarnLog &log)
    {
        if (line.size() > dateTimeStart)
            log.dateTime = FieldPool<Ch>::makeString(line.substr(dateTimeStart, dateTimeLength));
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
                finished = FieldPool<Ch>::makeString(value);
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
        return withCutNote(FieldPool<char16_t>::makeString(View<char16_t>(
            reinterpret_cast<const char16_t *>(message.constData()), size_t(message.size()))));
    }

private:
    template<typename Ch>
    void appendToMessage(View<Ch> text, bool lineEnd)
    {
        const qsizetype size = qsizetype(text.size()) + (lineEnd ? 1 : 0);
        if (droppedUnits > 0 || message.size() + size > maxMessageUnits) {
            droppedUnits += size;
            return;
        }
        FieldPool<Ch>::append(message, text);
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

// A small device, such as one record's bytes, gets a buffer of its size rather than a block
// of a mebibyte that would cost more than the parse.
qsizetype blockSizeFor(const QIODevice *device)
{
    constexpr qsizetype largest = qsizetype(1) << 20;
    if (device->isSequential())
        return largest;
    return qsizetype(std::clamp<qint64>(device->size() - device->pos() + 1, 64, largest));
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
    TextLineReader reader(device, blockSizeFor(device));
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
