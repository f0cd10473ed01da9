#include "utf8record.h"

#include "recordtags.h"
#include "textlinereader.h"

#include <algorithm>

using namespace RecordTags;

namespace {

// Hands out the lines of a record's bytes as the line reader splits them: at line feeds, with
// one carriage return before the feed (or at the very end) dropped.
class LineSplitter
{
public:
    explicit LineSplitter(std::string_view bytes)
        : bytes(bytes)
    { }

    bool next(std::string_view &line)
    {
        if (at >= bytes.size())
            return false;
        const size_t feed = bytes.find('\n', at);
        const size_t end = feed == std::string_view::npos ? bytes.size() : feed;
        line = bytes.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        at = end + 1;
        return true;
    }

    [[nodiscard]] bool atEnd() const { return at >= bytes.size(); }

private:
    std::string_view bytes;
    size_t at = 0;
};

} // namespace

bool Utf8Record::read(std::string_view record)
{
    return readRecord(record, Reading::whole);
}

bool Utf8Record::readMessagePlaces(std::string_view record)
{
    return readRecord(record, Reading::messagePlaces);
}

bool Utf8Record::readRecord(std::string_view record, Reading reading)
{
    // Below this size no line is cut and no message loses lines, so no note is added.
    if (qsizetype(record.size()) + 1 >= maxMessageUnits)
        return false;
    bytes = record;
    LineSplitter lines(record);
    std::string_view line;
    if (!lines.next(line) || !hasTagAt(line, 0, headTag) || !readHeader(line, reading))
        return false;
    oneLine = {};
    pieces.clear();
    gathering = false;
    bool ended = false;
    while (!ended && lines.next(line))
        ended = readBlockLine(line);
    if (gathering && reading == Reading::whole)
        joinPieces();
    return lines.atEnd();
}

bool Utf8Record::holdsInText(size_t from, size_t to) const
{
    const auto holds = [&](std::string_view text) {
        const auto begin = size_t(text.data() - bytes.data());
        return !text.empty() && from >= begin && to <= begin + text.size();
    };
    if (fieldsRead && std::any_of(fields.cbegin(), fields.cend() - 1, holds))
        return true;
    if (!gathering)
        return holds(oneLine);
    return std::any_of(
        pieces.cbegin(), pieces.cend(), [&](const Piece &piece) { return holds(piece.text); });
}

std::optional<size_t> Utf8Record::messageOffset() const
{
    if (gathering || oneLine.empty())
        return std::nullopt;
    return size_t(oneLine.data() - bytes.data());
}

// The date's place counts in characters, which are bytes only while the line is ASCII there.
bool Utf8Record::readHeader(std::string_view line, Reading reading)
{
    if (!TextLineReader::isAsciiText(line.substr(0, dateTimeStart + dateTimeLength)))
        return false;
    date = line.size() > dateTimeStart ? line.substr(dateTimeStart, dateTimeLength)
                                       : std::string_view();
    fieldsRead = reading == Reading::whole;
    if (!fieldsRead)
        return true;
    const auto tags = findTags(line, headerTags);
    for (size_t field = 0; field < headerFieldCount; ++field) {
        const size_t open = 2 * field;
        fields[field] = tagValue(line, tags[open], headerTags[open].size(), tags[open + 1]);
    }
    return true;
}

// As the parser builds a message: an opening tag starts it again, a closing tag ends it, and
// every line that does not end it adds its text and a line feed.
bool Utf8Record::readBlockLine(std::string_view line)
{
    const auto [open, close] = findTags(line, std::array {contOpen, contClose});
    constexpr size_t npos = std::string_view::npos;
    const bool ended = close != npos;
    if (open != npos) {
        const std::string_view value = tagValue(line, open, contOpen.size(), close);
        pieces.clear();
        gathering = !ended;
        if (ended)
            oneLine = value;
        else
            gather(value, true);
    } else if (ended) {
        gather(line.substr(0, close), false);
    } else if (!line.empty()) {
        gather(line, true);
    }
    return ended;
}

void Utf8Record::gather(std::string_view text, bool lineEnd)
{
    gathering = true;
    pieces.push_back({text, lineEnd});
}

void Utf8Record::joinPieces()
{
    gathered.clear();
    for (const Piece &piece : pieces) {
        gathered.append(piece.text);
        if (piece.lineEnd)
            gathered += '\n';
    }
}
