#include "foldedpiece.h"

#include "casefoldpreimages.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {

std::string utf8Of(char32_t codePoint)
{
    const auto unit = [codePoint](int shift, unsigned lead) {
        return char(lead | ((codePoint >> shift) & (lead == 0x80 ? 0x3F : 0xFF)));
    };
    if (codePoint < 0x80)
        return std::string(1, char(codePoint));
    if (codePoint < 0x800)
        return {unit(6, 0xC0), unit(0, 0x80)};
    if (codePoint < 0x10000)
        return {unit(12, 0xE0), unit(6, 0x80), unit(0, 0x80)};
    return {unit(18, 0xF0), unit(12, 0x80), unit(6, 0x80), unit(0, 0x80)};
}

// Code units of `size` bytes each, in either byte order.
std::string unitsOf(const std::vector<char32_t> &units, size_t size, bool bigEndian)
{
    std::string bytes;
    for (const char32_t unit : units) {
        for (size_t byte = 0; byte < size; ++byte) {
            const size_t shift = 8 * (bigEndian ? size - 1 - byte : byte);
            bytes += char((unit >> shift) & 0xFF);
        }
    }
    return bytes;
}

std::vector<char32_t> surrogatesOf(char32_t codePoint)
{
    if (!QChar::requiresSurrogates(codePoint))
        return {codePoint};
    return {QChar::highSurrogate(codePoint), QChar::lowSurrogate(codePoint)};
}

// The byte strings that a code point decodes from. UTF-32 text may also hold a code point
// beyond the first 65,536 as its two surrogates, which decode to it as a pair.
std::vector<std::string> spellingsOf(char32_t codePoint, TextEncoding encoding)
{
    const bool bigEndian = encoding == TextEncoding::utf16BE || encoding == TextEncoding::utf32BE;
    switch (encoding) {
    case TextEncoding::utf8:
        return {utf8Of(codePoint)};
    case TextEncoding::utf16LE:
    case TextEncoding::utf16BE:
        return {unitsOf(surrogatesOf(codePoint), 2, bigEndian)};
    case TextEncoding::utf32LE:
    case TextEncoding::utf32BE:
        break;
    }
    std::vector<std::string> spellings {unitsOf({codePoint}, 4, bigEndian)};
    if (QChar::requiresSurrogates(codePoint))
        spellings.push_back(unitsOf(surrogatesOf(codePoint), 4, bigEndian));
    return spellings;
}

// The code points [from, to) of a piece that one code point, written as bytes, may stand for.
struct Span
{
    size_t from;
    size_t to;
    std::string bytes;
};

// Adds a span of the code points [from, to) for each spelling of the code point.
void addSpans(
    std::vector<Span> &spans, size_t from, size_t to, char32_t codePoint, TextEncoding encoding)
{
    for (std::string &bytes : spellingsOf(codePoint, encoding))
        spans.push_back({from, to, std::move(bytes)});
}

// Inside a piece a code point stands for its whole lower case; at the piece's start for an
// end of its lower case, at the piece's end for a start of it, or for a middle part where
// the piece is only that.
void addExpansionSpans(const std::u32string &piece, const CaseFoldPreimages::Expansion &expansion,
    TextEncoding encoding, std::vector<Span> &spans)
{
    const std::u32string &lower = expansion.lower;
    const auto add = [&](size_t from, size_t to) {
        addSpans(spans, from, to, expansion.codePoint, encoding);
    };
    const size_t n = piece.size();
    for (size_t at = piece.find(lower); at != std::u32string::npos; at = piece.find(lower, at + 1))
        add(at, at + lower.size());
    if (lower.find(piece) != std::u32string::npos)
        add(0, n);
    for (size_t k = 1; k < lower.size() && k <= n; ++k) {
        if (lower.compare(lower.size() - k, k, piece, 0, k) == 0)
            add(0, k);
        if (lower.compare(0, k, piece, n - k, k) == 0)
            add(n - k, n);
    }
}

std::vector<Span> spansOf(const std::u32string &piece, TextEncoding encoding)
{
    const CaseFoldPreimages &preimages = CaseFoldPreimages::instance();
    std::vector<Span> spans;
    for (size_t at = 0; at < piece.size(); ++at) {
        addSpans(spans, at, at + 1, piece[at], encoding);
        for (const char32_t preimage : preimages.singleOf(piece[at]))
            addSpans(spans, at, at + 1, preimage, encoding);
    }
    for (const CaseFoldPreimages::Expansion &expansion : preimages.expansions())
        addExpansionSpans(piece, expansion, encoding, spans);
    return spans;
}

// The byte strings that spell the code points [from, to) with spans inside them, or none
// when they are too many.
std::optional<std::vector<std::string>> spellings(
    const std::vector<Span> &spans, size_t from, size_t to, size_t maxSpellings)
{
    std::vector<std::vector<std::string>> reaching(to - from + 1);
    reaching[0].emplace_back();
    for (size_t at = from; at < to; ++at) {
        for (const Span &span : spans) {
            if (span.from != at || span.to > to)
                continue;
            for (const std::string &start : reaching[at - from])
                reaching[span.to - from].push_back(start + span.bytes);
            if (reaching[span.to - from].size() > maxSpellings)
                return std::nullopt;
        }
    }
    std::vector<std::string> &all = reaching.back();
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return std::move(all);
}

std::string escaped(const std::string &bytes)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if ((code >= '0' && code <= '9') || (code >= 'a' && code <= 'z')
            || (code >= 'A' && code <= 'Z')) {
            text += byte;
        } else {
            text += {'\\', 'x', hex[code >> 4], hex[code & 0xF]};
        }
    }
    return text;
}

// The bytes each place of a segment's spellings may hold, when its spellings are exactly every
// way to pick one byte for each place: "S" and "s", or in UTF-16 "S\0" and "s\0". Such a
// segment is a class of bytes for each place, which Hyperscan builds and scans far faster than
// the alternatives; others have none.
std::optional<std::vector<std::string>> byteClasses(const std::vector<std::string> &spellings)
{
    const size_t length = spellings.front().size();
    std::vector<std::string> classes(length);
    for (const std::string &spelling : spellings) {
        if (spelling.size() != length)
            return std::nullopt;
        for (size_t at = 0; at < length; ++at) {
            if (classes[at].find(spelling[at]) == std::string::npos)
                classes[at] += spelling[at];
        }
    }
    size_t picks = 1;
    for (const std::string &bytes : classes) {
        picks *= bytes.size();
        if (picks > spellings.size())
            return std::nullopt;
    }
    if (picks != spellings.size())
        return std::nullopt;
    return classes;
}

} // namespace

FoldedPiece::FoldedPiece(std::vector<Segment> pieceSegments)
    : segments(std::move(pieceSegments))
{
    for (const Segment &segment : segments) {
        std::bitset<256> &single = singleBytes.emplace_back();
        for (const std::string &spelling : segment) {
            if (spelling.size() == 1)
                single.set(static_cast<unsigned char>(spelling.front()));
        }
        const auto [shortest, longest] = std::minmax_element(segment.cbegin(), segment.cend(),
            [](const std::string &a, const std::string &b) { return a.size() < b.size(); });
        shortestBytes += shortest->size();
        longestBytes += longest->size();
    }
    for (const std::string &spelling : segments.front()) {
        const auto first = static_cast<unsigned char>(spelling.front());
        if (!startsWith[first])
            firstBytes += spelling.front();
        startsWith[first] = true;
    }
}

std::vector<FoldedPiece> FoldedPiece::piecesOf(QStringView loweredText, TextEncoding encoding)
{
    std::vector<FoldedPiece> pieces;
    std::u32string piece;
    const auto endPiece = [&] {
        if (piece.empty())
            return;
        const std::vector<Span> spans = spansOf(piece, encoding);
        // A segment ends where no span crosses.
        std::vector<Segment> segments;
        size_t from = 0;
        for (size_t at = 1; at <= piece.size(); ++at) {
            const bool crossed = std::any_of(spans.cbegin(), spans.cend(),
                [at](const Span &span) { return span.from < at && span.to > at; });
            if (crossed)
                continue;
            auto segment = spellings(spans, from, at, maxSpellings);
            if (!segment) {
                segments.clear();
                break;
            }
            segments.push_back(std::move(*segment));
            from = at;
        }
        if (!segments.empty())
            pieces.push_back(FoldedPiece(std::move(segments)));
        piece.clear();
    };
    for (qsizetype at = 0; at < loweredText.size(); ++at) {
        const QChar unit = loweredText[at];
        char32_t codePoint = unit.unicode();
        if (unit.isHighSurrogate() && at + 1 < loweredText.size()
            && loweredText[at + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(unit, loweredText[++at]);
        } else if (unit.isSurrogate() || codePoint == U'z' || codePoint == U'\n'
            || codePoint == QChar::ReplacementCharacter) {
            endPiece();
            continue;
        }
        if (piece.size() < maxCodePoints)
            piece += codePoint;
    }
    endPiece();
    return pieces;
}

std::string FoldedPiece::expression() const
{
    std::string text;
    for (const Segment &segment : segments) {
        if (segment.size() == 1) {
            text += escaped(segment.front());
            continue;
        }
        if (const auto classes = byteClasses(segment)) {
            for (const std::string &bytes : *classes)
                text += bytes.size() == 1 ? escaped(bytes) : "[" + escaped(bytes) + "]";
            continue;
        }
        text += "(?:";
        for (size_t at = 0; at < segment.size(); ++at)
            text += (at > 0 ? "|" : "") + escaped(segment[at]);
        text += ")";
    }
    return text;
}

// Each first byte's next place is found with memchr: a piece mostly starts with a letter in
// either case, and memchr passes over the bytes between far faster than a loop.
bool FoldedPiece::occursIn(std::string_view bytes) const
{
    if (bytes.size() < shortestBytes)
        return false;
    const size_t lastStart = bytes.size() - shortestBytes;
    std::array<size_t, maxSpellings> next;
    for (size_t first = 0; first < firstBytes.size(); ++first)
        next[first] = bytes.find(firstBytes[first]);
    for (;;) {
        const auto nearest = std::min_element(next.begin(), next.begin() + firstBytes.size());
        const size_t at = *nearest;
        if (at > lastStart)
            return false;
        if (matchesFrom(bytes, 0, at, false))
            return true;
        *nearest = bytes.find(firstBytes[size_t(nearest - next.begin())], at + 1);
    }
}

bool FoldedPiece::endsAtEndOf(std::string_view bytes) const
{
    if (bytes.size() < shortestBytes)
        return false;
    const size_t first = bytes.size() > longestBytes ? bytes.size() - longestBytes : 0;
    for (size_t at = first; at + shortestBytes <= bytes.size(); ++at) {
        if (startsWith[static_cast<unsigned char>(bytes[at])] && matchesFrom(bytes, 0, at, true))
            return true;
    }
    return false;
}

bool FoldedPiece::matchesFrom(
    std::string_view bytes, size_t segment, size_t at, bool toTheEnd) const
{
    if (segment == segments.size())
        return !toTheEnd || at == bytes.size();
    if (at < bytes.size() && singleBytes[segment][static_cast<unsigned char>(bytes[at])]
        && matchesFrom(bytes, segment + 1, at + 1, toTheEnd))
        return true;
    for (const std::string &spelling : segments[segment]) {
        if (spelling.size() > 1 && bytes.size() - at >= spelling.size()
            && bytes.compare(at, spelling.size(), spelling) == 0
            && matchesFrom(bytes, segment + 1, at + spelling.size(), toTheEnd))
            return true;
    }
    return false;
}
