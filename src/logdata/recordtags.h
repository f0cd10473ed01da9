#pragma once

#include "codeunitscan.h"

#include <QtAlgorithms>

#include <array>
#include <string_view>

// The tags of the log format and how they are found in a line, in bytes or in UTF-16 alike:
// every tag is ASCII, so it stands at the same place of a line's UTF-8 bytes as of its text.
namespace RecordTags {

template<typename Ch>
using View = std::basic_string_view<Ch>;

constexpr std::string_view headTag = "<HEAD>";
constexpr std::string_view contOpen = "<CONT>";
constexpr std::string_view contClose = "</CONT>";
constexpr size_t dateTimeStart = 10;
constexpr size_t dateTimeLength = 23;
// A message keeps at most this many code units; lines past them are dropped and counted.
constexpr qsizetype maxMessageUnits = qsizetype(64) << 20;

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

} // namespace RecordTags
