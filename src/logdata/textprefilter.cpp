#include "textprefilter.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace {

bool heldByEverySearchText(const QString &loweredText)
{
    return loweredText.size() <= 3
        && std::all_of(loweredText.cbegin(), loweredText.cend(), [](QChar c) { return c == u'z'; });
}

// Pieces looked for per text at most: a record can match a text only if it holds every piece,
// so the longest few rule out nearly as much as all of them, and a pasted page of text does
// not make thousands of patterns.
constexpr size_t maxPiecesPerText = 8;

void keepLongestPieces(std::vector<FoldedPiece> &pieces)
{
    if (pieces.size() <= maxPiecesPerText)
        return;
    std::stable_sort(pieces.begin(), pieces.end(),
        [](const FoldedPiece &a, const FoldedPiece &b) { return a.longest() > b.longest(); });
    pieces.erase(pieces.begin() + maxPiecesPerText, pieces.end());
}

// What a sighting of a text compares with the bytes: an ASCII text of an any-of filter as
// UTF-8 or as UTF-16 of this machine's byte order holds it; otherwise nothing.
std::string sightedBytes(const QString &text, bool anyOf, TextEncoding encoding)
{
    const bool ascii
        = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (!anyOf || !ascii)
        return {};
    if (encoding == TextEncoding::utf8)
        return text.toStdString();
    if (encoding == nativeUtf16)
        return std::string(reinterpret_cast<const char *>(text.utf16()), 2 * size_t(text.size()));
    return {};
}

size_t recordStart(const std::vector<size_t> &ends, size_t record)
{
    return record == 0 ? 0 : ends[record - 1];
}

// Qt's decoder makes a UTF-32 unit beyond U+10FFFF two UTF-16 units, the first of them any
// character: text that the bytes do not spell.
bool holdsUnitBeyondUnicode(std::string_view record, bool bigEndian)
{
    for (size_t at = 0; at + 4 <= record.size(); at += 4) {
        char32_t unit = 0;
        for (size_t byte = 0; byte < 4; ++byte) {
            const auto value = char32_t(static_cast<unsigned char>(record[at + byte]));
            unit |= value << (8 * (bigEndian ? 3 - byte : byte));
        }
        if (unit > 0x10FFFF)
            return true;
    }
    return false;
}

} // namespace

#ifdef KESTRUNE_USE_HYPERSCAN
#include "hyperscanscratch.h"

// The pieces of all texts compiled by Hyperscan into one database of byte patterns (byte
// mode: the bytes need not be valid UTF-8). A scan runs over many records at once; a match
// counts for the record that holds its last byte, if it starts there too. Once a record is a
// candidate, the scan stops and starts again with the next record: a piece found nearly
// everywhere then costs a scan per record, not a match per byte. Measured on 1 GB, stopping at
// once beats letting a few more matches come first, even for texts found in few records.
class TextPrefilter::Automaton
{
public:
    // Null where this processor cannot run Hyperscan or it cannot compile the pieces.
    static std::unique_ptr<Automaton> build(const std::vector<FoldedPiece> &pieces)
    {
        if (hs_valid_platform() != HS_SUCCESS)
            return nullptr;
        std::vector<std::string> expressions;
        std::vector<const char *> data;
        std::vector<unsigned> ids;
        for (const FoldedPiece &piece : pieces) {
            expressions.push_back(piece.expression());
            ids.push_back(unsigned(ids.size()));
        }
        for (const std::string &expression : expressions)
            data.push_back(expression.c_str());
        const std::vector<unsigned> flags(pieces.size(), 0);
        hs_database_t *database = nullptr;
        hs_compile_error_t *error = nullptr;
        if (hs_compile_multi(data.data(), flags.data(), ids.data(), unsigned(data.size()),
                HS_MODE_BLOCK, nullptr, &database, &error)
            != HS_SUCCESS) {
            hs_free_compile_error(error);
            return nullptr;
        }
        return std::unique_ptr<Automaton>(new Automaton(database));
    }

    ~Automaton() { hs_free_database(database); }
    Automaton(const Automaton &) = delete;
    Automaton &operator=(const Automaton &) = delete;

    void markCandidates(const TextPrefilter &filter, std::string_view bytes,
        const std::vector<size_t> &ends, size_t first, size_t last, char *candidates,
        Sighting *sightings, Tally &tally) const
    {
        ScanState state {filter, bytes, ends, tally, candidates, sightings};
        std::fill(candidates + first, candidates + last, char(0));
        size_t record = first;
        while (record < last) {
            if (ends[record] - recordStart(ends, record) > alwaysCandidateBytes) {
                candidates[record++] = 1;
                continue;
            }
            const size_t end = runEnd(ends, record, last);
            record = scanRun(state, record, end);
        }
    }

private:
    // Where one scan stands: the record that holds the last match, and what to do with it.
    struct ScanState
    {
        const TextPrefilter &filter;
        std::string_view bytes;
        const std::vector<size_t> &ends;
        Tally &tally;
        char *candidates;
        Sighting *sightings;
        size_t scanStart = 0; // offset in bytes of the scanned part
        size_t record = 0;
        size_t talliedRecord = noRecord; // the record the tally counts for
    };

    static constexpr size_t noRecord = ~size_t(0);

    // Bytes scanned in one call at most, well within what Hyperscan takes.
    static constexpr size_t maxScanBytes = size_t(1) << 30;

    explicit Automaton(hs_database_t *database)
        : database(database)
    { }

    // The end of the records from `record` on that one scan can take.
    static size_t runEnd(const std::vector<size_t> &ends, size_t record, size_t last)
    {
        const size_t start = recordStart(ends, record);
        size_t end = record;
        while (end < last && ends[end] - recordStart(ends, end) <= alwaysCandidateBytes
            && ends[end] - start <= maxScanBytes)
            ++end;
        return end;
    }

    // Scans records [record, end), again after each candidate; returns end.
    size_t scanRun(ScanState &state, size_t record, size_t end) const
    {
        const std::vector<size_t> &ends = state.ends;
        while (record < end) {
            state.scanStart = recordStart(ends, record);
            state.record = record;
            state.talliedRecord = noRecord;
            const hs_error_t result = hs_scan(database, state.bytes.data() + state.scanStart,
                unsigned(ends[end - 1] - state.scanStart), 0,
                HyperscanScratch::forThread(database, serial), onMatch, &state);
            if (result != HS_SCAN_TERMINATED)
                break;
            record = state.record + 1;
        }
        return end;
    }

    static int onMatch(
        unsigned id, unsigned long long, unsigned long long to, unsigned, void *context)
    {
        ScanState &state = *static_cast<ScanState *>(context);
        const std::vector<size_t> &ends = state.ends;
        const size_t matchEnd = state.scanStart + size_t(to);
        while (ends[state.record] < matchEnd)
            ++state.record;
        const size_t start = recordStart(ends, state.record);
        const FoldedPiece &piece = state.filter.pieces[id];
        // A match near the record's start may have begun in the record before.
        if (matchEnd - start < piece.longest()
            && !piece.endsAtEndOf(state.bytes.substr(start, matchEnd - start)))
            return 0;
        if (state.talliedRecord != state.record) {
            state.tally.startRecord();
            state.talliedRecord = state.record;
        }
        if (!state.tally.take(id))
            return 0;
        state.candidates[state.record] = 1;
        if (state.sightings)
            state.sightings[state.record]
                = state.filter.sightingOf(id, state.bytes, start, matchEnd);
        return 1;
    }

    hs_database_t *database;
    // Tells this automaton from every other one, including one later built at its address.
    const quint64 serial = HyperscanScratch::newSerial();
};
#else
// Without Hyperscan each piece is looked for on its own.
class TextPrefilter::Automaton
{
};
#endif

TextPrefilter::TextPrefilter(
    const QStringList &loweredTexts, bool anyOf, TextEncoding encoding, Search search)
    : anyOf(anyOf)
    , encoding(encoding)
    , unitBytes(encoding == TextEncoding::utf8 ? 1 : 2)
{
    const auto everywhere
        = std::count_if(loweredTexts.cbegin(), loweredTexts.cend(), heldByEverySearchText);
    passesAll = anyOf ? everywhere > 0 : everywhere == loweredTexts.size();
    keepsAll = !anyOf;
    // A piece's expression names it, as its spellings do.
    std::unordered_map<std::string, size_t> pieceIds;
    for (const QString &text : loweredTexts) {
        std::vector<FoldedPiece> textPieces = FoldedPiece::piecesOf(text, encoding);
        if (textPieces.empty()) {
            keepsAll = keepsAll || anyOf;
            continue;
        }
        keepsAll = keepsAll && anyOf;
        keepLongestPieces(textPieces);
        std::vector<size_t> ids;
        for (FoldedPiece &piece : textPieces) {
            const auto [found, added] = pieceIds.try_emplace(piece.expression(), pieces.size());
            ids.push_back(found->second);
            if (added) {
                pieces.push_back(std::move(piece));
                textsOfPiece.emplace_back();
            }
        }
        asciiTexts.push_back(sightedBytes(text, anyOf, encoding));
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        for (const size_t id : ids)
            textsOfPiece[id].push_back(textPieceCounts.size());
        textPieceCounts.push_back(ids.size());
    }
    passesAlone.resize(pieces.size());
    for (size_t piece = 0; piece < pieces.size(); ++piece) {
        passesAlone[piece] = anyOf
            && std::any_of(textsOfPiece[piece].cbegin(), textsOfPiece[piece].cend(),
                [&](size_t text) { return textPieceCounts[text] == 1; });
    }
#ifdef KESTRUNE_USE_HYPERSCAN
    if (search == Search::fastest && !keepsAll && !pieces.empty())
        automaton = Automaton::build(pieces);
#else
    Q_UNUSED(search);
#endif
}

TextPrefilter::~TextPrefilter() = default;

void TextPrefilter::markCandidates(std::string_view bytes, const std::vector<size_t> &ends,
    size_t first, size_t last, char *candidates, Sighting *sightings) const
{
    markByPieces(bytes, ends, first, last, candidates, sightings);
    if (encoding != TextEncoding::utf32LE && encoding != TextEncoding::utf32BE)
        return;
    for (size_t record = first; record < last; ++record) {
        const size_t start = recordStart(ends, record);
        if (!candidates[record]
            && holdsUnitBeyondUnicode(
                bytes.substr(start, ends[record] - start), encoding == TextEncoding::utf32BE))
            candidates[record] = 1;
    }
}

void TextPrefilter::markByPieces(std::string_view bytes, const std::vector<size_t> &ends,
    size_t first, size_t last, char *candidates, Sighting *sightings) const
{
    if (keepsAll) {
        std::fill(candidates + first, candidates + last, char(1));
        return;
    }
    Tally tally(*this);
#ifdef KESTRUNE_USE_HYPERSCAN
    if (automaton) {
        automaton->markCandidates(*this, bytes, ends, first, last, candidates, sightings, tally);
        return;
    }
#endif
    for (size_t record = first; record < last; ++record) {
        const size_t start = recordStart(ends, record);
        candidates[record] = isCandidate(bytes.substr(start, ends[record] - start), tally) ? 1 : 0;
    }
}

bool TextPrefilter::isCandidate(std::string_view record, Tally &tally) const
{
    if (record.size() > alwaysCandidateBytes)
        return true;
    tally.startRecord();
    for (size_t piece = 0; piece < pieces.size(); ++piece) {
        if (pieces[piece].occursIn(record) && tally.take(piece))
            return true;
    }
    return false;
}

TextPrefilter::Sighting TextPrefilter::sightingOf(
    size_t piece, std::string_view bytes, size_t from, size_t to) const
{
    for (const size_t text : textsOfPiece[piece]) {
        const std::string &ascii = asciiTexts[text];
        if (ascii.empty() || to - from < ascii.size() || (to - ascii.size()) % unitBytes != 0)
            continue;
        const std::string_view seen = bytes.substr(to - ascii.size(), ascii.size());
        // The zero bytes of UTF-16 units compare as themselves.
        if (std::equal(seen.begin(), seen.end(), ascii.begin(), [](char byte, char lower) {
                return (byte >= 'A' && byte <= 'Z' ? char(byte - 'A' + 'a') : byte) == lower;
            }))
            return {to - ascii.size(), to};
    }
    return {};
}

TextPrefilter::Tally::Tally(const TextPrefilter &filter)
    : filter(filter)
    , pieceSeenIn(filter.pieces.size())
    , textSeenIn(filter.textPieceCounts.size())
    , textPiecesSeen(filter.textPieceCounts.size())
{ }

void TextPrefilter::Tally::startRecord()
{
    piecesSeen = 0;
    if (++record != 0)
        return;
    // The stamps wrapped: none may pass for the new record's.
    std::fill(pieceSeenIn.begin(), pieceSeenIn.end(), 0);
    std::fill(textSeenIn.begin(), textSeenIn.end(), 0);
    record = 1;
}

bool TextPrefilter::Tally::take(size_t piece)
{
    if (filter.passesAlone[piece])
        return true;
    if (pieceSeenIn[piece] == record)
        return false;
    pieceSeenIn[piece] = record;
    if (!filter.anyOf)
        return ++piecesSeen == filter.pieces.size();
    for (const size_t text : filter.textsOfPiece[piece]) {
        if (textSeenIn[text] != record) {
            textSeenIn[text] = record;
            textPiecesSeen[text] = 0;
        }
        if (++textPiecesSeen[text] == filter.textPieceCounts[text])
            return true;
    }
    return false;
}
