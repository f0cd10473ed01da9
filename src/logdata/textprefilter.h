#pragma once

#include "foldedpiece.h"

#include <QStringList>

#include <algorithm>

#include <memory>
#include <string_view>
#include <vector>

// Rules records out of a text filter by their raw bytes, in the encoding of their file, never
// one that passes: a record
// can match a filter text only if every piece of the text (see FoldedPiece; the longest few
// are looked for) occurs in the record's bytes in some spelling that lower-cases to it. What
// remains are candidates, to be decoded and checked exactly. With Hyperscan built in, all
// pieces are looked for in one pass over the bytes; without it, piece by piece, with the same
// answers.
class TextPrefilter
{
public:
    // How the bytes are searched: the fastest way built in, or piece by piece (the way without
    // Hyperscan, which tests compare with the other).
    enum class Search { fastest, pieceByPiece };

    // The parser cuts a line or a message only in a record longer than this many bytes (also
    // in UTF-16 and UTF-32 files written as UTF-8), and then notes the cut in the message,
    // which the bytes do not hold: such a record is always a candidate.
    static constexpr size_t alwaysCandidateBytes = size_t(32) << 20;

    // The filter texts lower-cased (QString::toLower), as the filter model keeps them: a
    // record passes when any of them (anyOf) or all of them occur in its search text.
    TextPrefilter(const QStringList &loweredTexts, bool anyOf,
        TextEncoding encoding = TextEncoding::utf8, Search search = Search::fastest);
    ~TextPrefilter();
    TextPrefilter(const TextPrefilter &) = delete;
    TextPrefilter &operator=(const TextPrefilter &) = delete;

    // Whether every record passes for certain: any-of with a text that every search text
    // holds ("", "z", "zz" or "zzz"), or all-of with only such texts (or none).
    [[nodiscard]] bool passesEverything() const { return passesAll; }
    // Whether no record can be ruled out, so that markCandidates marks every one: any-of with
    // a text that has no piece, or all-of where no text has one. Any-of without texts rules
    // every record out.
    [[nodiscard]] bool keepsEverything() const { return keepsAll; }

    // Where a candidate of an any-of filter was seen to hold one of the texts whole, spelled in
    // ASCII code units of UTF-8 or of UTF-16 in this machine's byte order: the bytes [from, to)
    // of the run, which starts at a code unit. A record whose search text holds those units
    // lower-cased then passes without a closer look. Empty (to == 0) when none was seen.
    struct Sighting
    {
        size_t from = 0;
        size_t to = 0;
    };

    // Whether markCandidates can tell sightings: for an any-of filter with a text in ASCII, in
    // UTF-8 or in UTF-16 of this machine's byte order, the encodings whose records are read
    // without decoding.
    [[nodiscard]] bool makesSightings() const
    {
        return std::any_of(asciiTexts.cbegin(), asciiTexts.cend(),
            [](const std::string &text) { return !text.empty(); });
    }

    // Sets candidates[i] for each record i in [first, last) of a run of records laid end to
    // end in bytes, record i spanning [i == 0 ? 0 : ends[i - 1], ends[i]): 1 when it may
    // pass, 0 when it cannot. A record longer than alwaysCandidateBytes is always marked, and
    // so is one of a UTF-32 file with a unit beyond U+10FFFF.
    // With sightings, sets sightings[i] for the candidates where one is made (never for all,
    // and for none unless makesSightings).
    // Safe on several threads at once, for parts of one run or for different runs.
    void markCandidates(std::string_view bytes, const std::vector<size_t> &ends, size_t first,
        size_t last, char *candidates, Sighting *sightings = nullptr) const;
    void markCandidates(std::string_view bytes, const std::vector<size_t> &ends, char *candidates,
        Sighting *sightings = nullptr) const
    {
        markCandidates(bytes, ends, 0, ends.size(), candidates, sightings);
    }

private:
    class Automaton;

    // Counts the pieces met in one record, for one thread: whether they make it a candidate.
    class Tally
    {
    public:
        explicit Tally(const TextPrefilter &filter);
        // Starts counting for a record.
        void startRecord();
        // Takes a piece that occurs in the current record; true once the record is a
        // candidate. A piece taken twice counts once.
        bool take(size_t piece);

    private:
        const TextPrefilter &filter;
        unsigned record = 0; // stamps the counts below as belonging to the current record
        std::vector<unsigned> pieceSeenIn;
        std::vector<unsigned> textSeenIn;
        std::vector<size_t> textPiecesSeen; // by text, pieces seen in the record
        size_t piecesSeen = 0; // for all-of
    };

    void markByPieces(std::string_view bytes, const std::vector<size_t> &ends, size_t first,
        size_t last, char *candidates, Sighting *sightings) const;
    [[nodiscard]] bool isCandidate(std::string_view record, Tally &tally) const;
    // The sighting of a text of the piece that ends at `to` in the bytes and starts at `from` or
    // later, if any.
    [[nodiscard]] Sighting sightingOf(
        size_t piece, std::string_view bytes, size_t from, size_t to) const;

    bool anyOf;
    TextEncoding encoding;
    bool passesAll = false;
    bool keepsAll = false;
    // The distinct pieces of the texts that have any.
    std::vector<FoldedPiece> pieces;
    // Of each text that has pieces, how many distinct ones, and by piece the texts holding it.
    std::vector<size_t> textPieceCounts;
    std::vector<std::vector<size_t>> textsOfPiece;
    // By piece, whether it makes a record a candidate on its own: it is the one piece of a
    // text of an any-of filter.
    std::vector<char> passesAlone;
    // Of each text that has pieces, the text's bytes in the encoding when a sighting may
    // compare them with the bytes (see makesSightings); otherwise empty.
    std::vector<std::string> asciiTexts;
    // The bytes of a code unit, in an encoding that makes sightings.
    size_t unitBytes = 1;
    std::unique_ptr<Automaton> automaton;
};
