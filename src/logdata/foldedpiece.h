#pragma once

#include "textencoding.h"

#include <QStringView>

#include <bitset>
#include <string>
#include <string_view>
#include <vector>

// One piece of a lower-cased filter text as the byte strings that lower-case to it, in the
// encoding of the text looked in: the piece occurs in the lower case of decoded text only where
// one of them occurs in the bytes.
// A filter text is cut into pieces at every 'z' (the search text's field separator is made of
// it), line feed, U+FFFD (what invalid bytes decode to) and unpaired surrogate, so that each
// piece, wherever the text occurs in a search text, lies within one line of one field.
class FoldedPiece
{
public:
    // The pieces of a lower-cased text, in order. A piece with too many spellings to look for
    // (many code points whose lower case is several code points) is left out, and a long one
    // is cut to its start: either only rules fewer records out.
    [[nodiscard]] static std::vector<FoldedPiece> piecesOf(
        QStringView loweredText, TextEncoding encoding = TextEncoding::utf8);

    // The byte strings as a Hyperscan expression, for byte mode without flags.
    [[nodiscard]] std::string expression() const;
    // The most bytes that one occurrence takes.
    [[nodiscard]] size_t longest() const { return longestBytes; }
    // Whether the piece occurs in the bytes.
    [[nodiscard]] bool occursIn(std::string_view bytes) const;
    // Whether an occurrence within the bytes ends at their end.
    [[nodiscard]] bool endsAtEndOf(std::string_view bytes) const;

private:
    // Each segment is matched by one of its spellings; a piece is its segments in order.
    using Segment = std::vector<std::string>;

    explicit FoldedPiece(std::vector<Segment> segments);
    [[nodiscard]] bool matchesFrom(
        std::string_view bytes, size_t segment, size_t at, bool toTheEnd) const;

    // Spellings of one segment at most: far beyond what any text meets, since only code
    // points whose lower case is several code points make a segment longer than one code
    // point.
    static constexpr size_t maxSpellings = 64;
    // Code points of a piece at most: far more than a piece needs to be rare, and few enough
    // that a pasted page of text costs little to prepare.
    static constexpr size_t maxCodePoints = 256;

    std::vector<Segment> segments;
    // By segment, its spellings of one byte, looked up rather than compared: most are.
    std::vector<std::bitset<256>> singleBytes;
    std::string firstBytes; // distinct, of the first segment's spellings
    size_t shortestBytes = 0;
    size_t longestBytes = 0;
    bool startsWith[256] = {};
};
