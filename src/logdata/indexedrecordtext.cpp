#include "indexedrecordtext.h"

#include "logtextwriter.h"
#include "taggedrecord.h"

#include <QStringView>

namespace {

bool isValidUtf8(std::string_view text)
{
    return QByteArrayView(text.data(), qsizetype(text.size())).isValidUtf8();
}

// Reads a record of a UTF-8 file from its bytes when they are the indexed record and valid
// UTF-8 wherever the copy takes them; false when it is to be parsed (and fails there when the
// file changed).
bool readUtf8(
    const RecordIndex &index, size_t file, size_t local, QByteArrayView bytes, Utf8Record &record)
{
    if (!index.isUtf8(file) || !record.read(std::string_view(bytes.data(), size_t(bytes.size()))))
        return false;
    if (!index.holdsDate(file, local, record.dateTime()))
        return false;
    for (size_t field = 0; field < Utf8Record::headerFieldCount; ++field) {
        if (!isValidUtf8(record.headerField(field)))
            return false;
    }
    return isValidUtf8(record.message());
}

std::optional<QByteArray> utf8Of(const QString &text)
{
    if (!QStringView(text).isValidUtf16())
        return std::nullopt;
    return text.toUtf8();
}

std::optional<QarnLogParser::QarnLog> parsed(
    const RecordIndex &index, size_t file, size_t local, QByteArrayView bytes)
{
    auto records = index.parseBlock(file, local, local + 1, bytes);
    if (!records)
        return std::nullopt;
    return std::move(records->front());
}

std::optional<QByteArray> recordText(
    const RecordIndex &index, size_t file, size_t local, QByteArrayView bytes, Utf8Record &record)
{
    if (readUtf8(index, file, local, bytes, record))
        return LogTextWriter::recordText(record);
    const auto read = parsed(index, file, local, bytes);
    return read ? utf8Of(LogTextWriter::recordText(*read)) : std::nullopt;
}

// Read and written a window of rows at a time, so that only that many texts are apart from the
// whole at once.
constexpr size_t windowRows = 65'536;

using Places = std::vector<RecordIndex::WantedPlace>;

// Writes the texts of the wanted records places[first..last], all of one file, to their places
// among texts, from the records' bytes; false when a file changed or a text is not UTF-8.
bool writeFromBytes(const RecordIndex &index, const Places &places, size_t first, size_t last,
    std::vector<QByteArray> &texts)
{
    const size_t file = places[first].place.file;
    Utf8Record record;
    size_t next = first;
    return index.readFileBytes(file, places[first].place.local, places[last].place.local + 1,
        [&](size_t local, QByteArrayView bytes) {
            if (local != places[next].place.local)
                return true;
            auto written = recordText(index, file, local, bytes, record);
            if (written)
                texts[places[next++].answer] = std::move(*written);
            return written.has_value();
        });
}

// The same for a UTF-16 or UTF-32 file, parsed a block at a time, which costs far less than a
// record at a time.
bool writeParsed(const RecordIndex &index, const Places &places, size_t first, size_t last,
    std::vector<QByteArray> &texts)
{
    const size_t file = places[first].place.file;
    bool complete = true;
    size_t next = first;
    const bool read = index.readFileRecords(file, places[first].place.local,
        places[last].place.local + 1, [&](size_t row, const QarnLogParser::QarnLog &record) {
            if (!complete || next > last || index.rowOf(file, places[next].place.local) != row)
                return;
            auto written = utf8Of(LogTextWriter::recordText(record));
            complete = written.has_value();
            texts[places[next++].answer] = written.value_or(QByteArray());
        });
    return read && complete;
}

bool appendWindow(const RecordIndex &index, const int *rows, size_t count, QByteArray &text)
{
    const Places places = index.placesInFileOrder(rows, count);
    std::vector<QByteArray> texts(count);
    for (size_t first = 0; first < count;) {
        const size_t file = places[first].place.file;
        size_t last = first;
        while (last + 1 < count && places[last + 1].place.file == file)
            ++last;
        const auto write = index.isUtf8(file) ? writeFromBytes : writeParsed;
        if (!write(index, places, first, last, texts))
            return false;
        first = last + 1;
    }
    for (QByteArray &written : texts)
        text += std::exchange(written, QByteArray());
    return true;
}

} // namespace

std::optional<QByteArray> IndexedRecordText::records(
    const RecordIndex &index, const std::vector<int> &rows)
{
    QByteArray text;
    for (size_t first = 0; first < rows.size(); first += windowRows) {
        if (!appendWindow(
                index, rows.data() + first, std::min(windowRows, rows.size() - first), text))
            return std::nullopt;
    }
    return text;
}

// A message of one line is cut out of the bytes read, in place.
std::optional<QByteArray> IndexedRecordText::message(const RecordIndex &index, size_t row)
{
    const RecordIndex::Place place = index.placeOf(row);
    std::optional<QByteArray> bytes = index.blockBytes(place.file, place.local, place.local + 1);
    if (!bytes)
        return std::nullopt;
    Utf8Record record;
    if (!readUtf8(index, place.file, place.local, *bytes, record)) {
        const auto read = parsed(index, place.file, place.local, *bytes);
        return read ? utf8Of(read->message) : std::nullopt;
    }
    const std::string_view message = record.message();
    const std::optional<size_t> offset = record.messageOffset();
    if (!offset)
        return QByteArray(message.data(), qsizetype(message.size()));
    bytes->truncate(qsizetype(*offset + message.size()));
    bytes->remove(0, qsizetype(*offset));
    return bytes;
}
