#include "taggedrecord.h"

#include "recordtags.h"
#include "textlinereader.h"

#include <algorithm>
#include <type_traits>

using namespace RecordTags;

namespace {

// Hands out the lines of a record's units as the line reader splits them: at line feeds, with
// one carriage return before the feed (or at the very end) dropped.
template<typename Ch>
class LineSplitter
{
public:
    explicit LineSplitter(View<Ch> units)
        : units(units)
    { }

    bool next(View<Ch> &line)
    {
        if (at >= units.size())
            return false;
        const size_t feed = units.find(Ch('\n'), at);
        const size_t end = feed == View<Ch>::npos ? units.size() : feed;
        line = units.substr(at, end - at);
        if (!line.empty() && line.back() == Ch('\r'))
            line.remove_suffix(1);
        at = end + 1;
        return true;
    }

    [[nodiscard]] bool atEnd() const { return at >= units.size(); }

private:
    View<Ch> units;
    size_t at = 0;
};

bool isAscii(std::string_view text)
{
    return TextLineReader::isAsciiText(text);
}

bool isAscii(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x80; });
}

} // namespace

template<typename Ch>
bool TaggedRecord<Ch>::read(View record)
{
    return readRecord(record, Reading::whole);
}

template<typename Ch>
bool TaggedRecord<Ch>::readTextPlaces(View record, size_t end)
{
    return readRecord(record, Reading::textPlaces, end);
}

template<typename Ch>
bool TaggedRecord<Ch>::readRecord(View record, Reading reading, size_t end)
{
    fieldsRead = false;
    // Below this size no line is cut and no message loses lines, so no note is added.
    if (qsizetype(sizeof(Ch) * record.size()) + 1 >= maxMessageUnits)
        return false;
    // The file's last line, without a line feed, loses an unfinished sequence at its end when
    // it is decoded, and then a carriage return that stood before it: left to the parser.
    if (!record.empty() && record.back() != Ch('\n')
        && std::make_unsigned_t<Ch>(record.back()) >= 0x80)
        return false;
    units = record;
    LineSplitter<Ch> lines(record);
    View line;
    if (!lines.next(line) || !hasTagAt(line, 0, headTag)
        || !readHeader(line, reading == Reading::whole || end <= line.size()))
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

template<typename Ch>
bool TaggedRecord<Ch>::holdsInText(size_t from, size_t to) const
{
    const auto holds = [&](View text) {
        const auto begin = size_t(text.data() - units.data());
        return !text.empty() && from >= begin && to <= begin + text.size();
    };
    if (fieldsRead && std::any_of(fields.cbegin(), fields.cend() - 1, holds))
        return true;
    if (!gathering)
        return holds(oneLine);
    return std::any_of(
        pieces.cbegin(), pieces.cend(), [&](const Piece &piece) { return holds(piece.text); });
}

template<typename Ch>
std::optional<size_t> TaggedRecord<Ch>::messageOffset() const
{
    if (gathering || oneLine.empty())
        return std::nullopt;
    return size_t(oneLine.data() - units.data());
}

// The date's place counts in characters, which are units only while the line is ASCII there.
template<typename Ch>
bool TaggedRecord<Ch>::readHeader(View line, bool withFields)
{
    if (!isAscii(line.substr(0, dateTimeStart + dateTimeLength)))
        return false;
    date = line.size() > dateTimeStart ? line.substr(dateTimeStart, dateTimeLength) : View();
    fieldsRead = withFields;
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
template<typename Ch>
bool TaggedRecord<Ch>::readBlockLine(View line)
{
    const auto [open, close] = findTags(line, std::array {contOpen, contClose});
    constexpr size_t npos = View::npos;
    const bool ended = close != npos;
    if (open != npos) {
        const View value = tagValue(line, open, contOpen.size(), close);
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

template<typename Ch>
void TaggedRecord<Ch>::gather(View text, bool lineEnd)
{
    gathering = true;
    pieces.push_back({text, lineEnd});
}

template<typename Ch>
void TaggedRecord<Ch>::joinPieces()
{
    gathered.clear();
    for (const Piece &piece : pieces) {
        gathered.append(piece.text);
        if (piece.lineEnd)
            gathered += Ch('\n');
    }
}

template class TaggedRecord<char>;
template class TaggedRecord<char16_t>;
