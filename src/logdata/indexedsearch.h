#pragma once

#include "recordindex.h"
#include "textprefilter.h"
#include "textsetmatcher.h"
#include "utf8searchtext.h"

#include <QStringList>

#include <array>
#include <memory>
#include <vector>

// Tells which records of an index hold filter texts, exactly as their search texts would hold
// them, without keeping any search text: the files are read block by block on every core, the
// prefilter rules out most records by their bytes, and only the others have their search
// texts made (from their bytes where they can be), matched and dropped.
class IndexedSearch
{
public:
    // texts: lower-cased, as the filter model keeps them; any of them or all of them.
    // The passes that narrow takes hold the rows from firstRow on.
    IndexedSearch(
        const RecordIndex &index, const QStringList &texts, bool anyOf, size_t firstRow = 0);

    // Clears passes[row] for every row whose record does not hold the texts; rows already
    // clear are not read. False when a file no longer holds the records indexed there: its
    // rows that were not read are cleared too, so that nothing unread is shown as a match.
    // With firstRecords, only each file's records from firstRecords[file] on are looked at;
    // their rows must lie at firstRow or later.
    bool narrow(std::vector<char> &passes, const std::vector<size_t> &firstRecords = {}) const;

private:
    [[nodiscard]] char &passOf(std::vector<char> &passes, size_t file, size_t local) const
    {
        return passes[index.rowOf(file, local) - firstRow];
    }

    struct Block
    {
        size_t file;
        size_t first;
        size_t end;
    };

    // What the prefilter found of a block's records: whether each may pass, and where a text
    // was seen whole.
    struct Candidates
    {
        std::vector<char> marks;
        std::vector<TextPrefilter::Sighting> sightings;
    };

    [[nodiscard]] std::vector<Block> blocks(const std::vector<size_t> &firstRecords) const;
    [[nodiscard]] bool narrowBlock(const Block &block, std::vector<char> &passes) const;
    // Checks the candidates among the records [first, end) of a block's bytes exactly.
    [[nodiscard]] bool checkCandidates(const Block &block, QByteArray &bytes,
        const Candidates &candidates, std::vector<char> &passes) const;
    [[nodiscard]] bool writeCandidates(const Block &block, QByteArray &bytes,
        const Candidates &candidates, std::vector<char> &passes) const;
    template<typename Ch>
    static bool seenInText(TaggedRecord<Ch> &record, std::basic_string_view<Ch> units,
        size_t recordFrom, TextPrefilter::Sighting seen);
    [[nodiscard]] bool passSightedUtf16(const Block &block, const QByteArray &bytes,
        const Candidates &candidates, std::vector<char> &checks, std::vector<char> &passes) const;
    static bool writeText(Utf8SearchText &text, QByteArray &bytes, qint64 from, qint64 length);
    [[nodiscard]] bool parseCandidates(const Block &block, const QByteArray &bytes,
        const std::vector<char> &checks, std::vector<char> &passes) const;
    [[nodiscard]] bool matches(const QarnLogParser::QarnLog &record) const;
    [[nodiscard]] bool matches(std::string_view utf8Text) const;
    [[nodiscard]] Candidates candidatesOf(const Block &block, const QByteArray &bytes) const;
    void clearRows(size_t file, size_t first, size_t end, std::vector<char> &passes) const;

    const RecordIndex &index;
    QStringList texts;
    // By encoding, for those of the index's files; whether everything passes does not depend
    // on it.
    std::array<std::shared_ptr<const TextPrefilter>, textEncodingCount> prefilters;
    TextSetMatcher matcher;
    bool anyOf;
    size_t firstRow;
};
