#include "utf8searchtext.h"

#include "recordtags.h"

#include <algorithm>

using namespace RecordTags;

namespace {

constexpr std::string_view separator = "zzz";

// Without an early exit, so that the compiler makes it one vector step.
bool isAscii(std::string_view text)
{
    uchar bits = 0;
    for (const char c : text)
        bits |= uchar(c);
    return bits < 0x80;
}

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

bool Utf8SearchText::write(std::string_view record)
{
    size = dateTimeSize = messageStart = 0;
    // Below this size no line is cut and no message loses lines, so no note is added.
    if (qsizetype(record.size()) + 1 >= maxMessageUnits)
        return false;
    LineSplitter lines(record);
    std::string_view line;
    if (!lines.next(line) || !hasTagAt(line, 0, headTag) || !writeHeader(line))
        return false;
    bool ended = false;
    while (!ended && lines.next(line)) {
        if (!writeBlockLine(line, ended))
            return false;
    }
    return lines.atEnd();
}

// The date's place counts in characters, which are bytes only while the line is ASCII there.
bool Utf8SearchText::writeHeader(std::string_view line)
{
    if (!isAscii(line.substr(0, dateTimeStart + dateTimeLength)))
        return false;
    if (line.size() > dateTimeStart)
        append(line.substr(dateTimeStart, dateTimeLength));
    dateTimeSize = size;
    const auto tags = findTags(line, headerTags);
    // All header fields but the last, the source line, are in the text.
    for (size_t field = 0; field + 1 < fieldCount; ++field) {
        append(separator);
        const size_t open = 2 * field;
        if (!appendLowered(tagValue(line, tags[open], headerTags[open].size(), tags[open + 1])))
            return false;
    }
    append(separator);
    messageStart = size;
    return true;
}

// As the parser builds a message: an opening tag starts it again, a closing tag ends it, and
// every line that does not end it adds its text and a line feed.
bool Utf8SearchText::writeBlockLine(std::string_view line, bool &ended)
{
    const auto [open, close] = findTags(line, std::array {contOpen, contClose});
    constexpr size_t npos = std::string_view::npos;
    ended = close != npos;
    std::string_view text = line;
    if (open != npos) {
        size = messageStart;
        text = tagValue(line, open, contOpen.size(), close);
    } else if (ended) {
        text = line.substr(0, close);
    } else if (line.empty()) {
        return true;
    }
    if (!appendLowered(text))
        return false;
    if (!ended)
        append("\n");
    return true;
}

bool Utf8SearchText::appendLowered(std::string_view utf8)
{
    reserve(LowerCaseUtf8::maxGrowth * utf8.size());
    char *end = lowerCase.write(utf8, buffer.get() + size);
    if (!end)
        return false;
    size = size_t(end - buffer.get());
    return true;
}

void Utf8SearchText::append(std::string_view ascii)
{
    reserve(ascii.size());
    std::copy(ascii.begin(), ascii.end(), buffer.get() + size);
    size += ascii.size();
}

// Left uninitialised beyond the text: room that is never written is never touched.
void Utf8SearchText::reserve(size_t more)
{
    if (size + more <= capacity)
        return;
    capacity = std::max(size + more, 2 * capacity);
    std::unique_ptr<char[]> grown(new char[capacity]);
    std::copy_n(buffer.get(), size, grown.get());
    buffer = std::move(grown);
}
