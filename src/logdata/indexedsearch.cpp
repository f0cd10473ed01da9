#include "indexedsearch.h"

#include "parallelfor.h"
#include "prefiltercache.h"
#include "searchtextstore.h"
#include "utf8searchtext.h"

#include <atomic>

IndexedSearch::IndexedSearch(
    const RecordIndex &index, const QStringList &texts, bool anyOf, size_t firstRow)
    : index(index)
    , texts(texts)
    , matcher(texts)
    , anyOf(anyOf)
    , firstRow(firstRow)
{
    prefilters[size_t(TextEncoding::utf8)] = PrefilterCache::of(texts, anyOf, TextEncoding::utf8);
    for (size_t file = 0; file < index.fileCount(); ++file) {
        std::shared_ptr<const TextPrefilter> &prefilter = prefilters[size_t(index.encoding(file))];
        if (!prefilter)
            prefilter = PrefilterCache::of(texts, anyOf, index.encoding(file));
    }
}

std::vector<IndexedSearch::Block> IndexedSearch::blocks(
    const std::vector<size_t> &firstRecords) const
{
    std::vector<Block> list;
    for (size_t file = 0; file < index.fileCount(); ++file) {
        const size_t count = index.recordsInFile(file);
        for (size_t first = firstRecords.empty() ? 0 : firstRecords[file]; first < count;) {
            const size_t end = index.blockEnd(file, first, count);
            list.push_back({file, first, end});
            first = end;
        }
    }
    return list;
}

bool IndexedSearch::narrowBlock(const Block &block, std::vector<char> &passes) const
{
    bool wanted = false;
    for (size_t local = block.first; local < block.end && !wanted; ++local)
        wanted = passOf(passes, block.file, local) != 0;
    if (!wanted)
        return true;
    std::optional<QByteArray> bytes = index.blockBytes(block.file, block.first, block.end);
    if (!bytes || !checkCandidates(block, *bytes, candidatesOf(block, *bytes), passes)) {
        clearRows(block.file, block.first, block.end, passes);
        return false;
    }
    return true;
}

IndexedSearch::Candidates IndexedSearch::candidatesOf(
    const Block &block, const QByteArray &bytes) const
{
    const size_t count = block.end - block.first;
    Candidates candidates {std::vector<char>(count, 1), {}};
    const TextPrefilter &prefilter = *prefilters[size_t(index.encoding(block.file))];
    if (prefilter.keepsEverything())
        return candidates;
    if (prefilter.makesSightings())
        candidates.sightings.resize(count);
    const qint64 start = index.recordBegin(block.file, block.first);
    // Lines skipped between two records count with the second: it may only gain a candidate.
    std::vector<size_t> ends;
    for (size_t local = block.first; local < block.end; ++local)
        ends.push_back(size_t(index.recordEnd(block.file, local) - start));
    prefilter.markCandidates(std::string_view(bytes.constData(), size_t(bytes.size())), ends,
        candidates.marks.data(),
        candidates.sightings.empty() ? nullptr : candidates.sightings.data());
    return candidates;
}

bool IndexedSearch::checkCandidates(const Block &block, QByteArray &bytes,
    const Candidates &candidates, std::vector<char> &passes) const
{
    if (index.isUtf8(block.file))
        return writeCandidates(block, bytes, candidates, passes);
    std::vector<char> checks = candidates.marks;
    return passSightedUtf16(block, bytes, candidates, checks, passes)
        && parseCandidates(block, bytes, checks, passes);
}

// A text seen whole in a record's searched fields is in its search text, which holds them
// lower-cased: ASCII units lower-case to ASCII units, and invalid units near them decode to
// U+FFFD without taking them along. Reads the record's units, from recordFrom in the block's,
// into record.
template<typename Ch>
bool IndexedSearch::seenInText(TaggedRecord<Ch> &record, std::basic_string_view<Ch> units,
    size_t recordFrom, TextPrefilter::Sighting seen)
{
    if (seen.to == 0 || seen.from < recordFrom)
        return false;
    return record.readTextPlaces(units, seen.to - recordFrom)
        && record.holdsInText(seen.from - recordFrom, seen.to - recordFrom);
}

// Of a UTF-16 file in this machine's byte order, the candidates with a text seen in their
// fields pass unparsed (checks 2): the others are left to be parsed (checks 1).
bool IndexedSearch::passSightedUtf16(const Block &block, const QByteArray &bytes,
    const Candidates &candidates, std::vector<char> &checks, std::vector<char> &passes) const
{
    if (candidates.sightings.empty())
        return true;
    const qint64 start = index.recordBegin(block.file, block.first);
    Utf16Record record;
    for (size_t local = block.first; local < block.end; ++local) {
        const TextPrefilter::Sighting seen = candidates.sightings[local - block.first];
        const qint64 from = index.recordBegin(block.file, local) - start;
        const qint64 length = index.recordEnd(block.file, local) - start - from;
        if (seen.to == 0 || !passOf(passes, block.file, local) || from % 2 != 0 || length % 2 != 0)
            continue;
        const std::u16string_view units(
            reinterpret_cast<const char16_t *>(bytes.constData() + from), size_t(length / 2));
        if (!seenInText(record, units, size_t(from / 2), {seen.from / 2, seen.to / 2}))
            continue;
        const std::u16string_view date = record.dateTime();
        if (!index.holdsDate(block.file, local, std::string(date.begin(), date.end())))
            return false;
        checks[local - block.first] = 2;
    }
    return true;
}

// Each candidate's search text is written straight from its bytes, unless a text was seen in
// its fields; the few records that cannot be written so are parsed.
bool IndexedSearch::writeCandidates(const Block &block, QByteArray &bytes,
    const Candidates &candidates, std::vector<char> &passes) const
{
    Utf8SearchText text;
    Utf8Record seen;
    const qint64 start = index.recordBegin(block.file, block.first);
    for (size_t local = block.first; local < block.end; ++local) {
        char &pass = passOf(passes, block.file, local);
        if (!pass || !candidates.marks[local - block.first]) {
            pass = 0;
            continue;
        }
        const qint64 from = index.recordBegin(block.file, local) - start;
        const QByteArrayView record
            = QByteArrayView(bytes).sliced(from, index.recordEnd(block.file, local) - start - from);
        if (!candidates.sightings.empty()
            && seenInText(seen, std::string_view(record.data(), size_t(record.size())),
                size_t(from), candidates.sightings[local - block.first])) {
            if (!index.holdsDate(block.file, local, seen.dateTime()))
                return false;
            pass = 1;
            continue;
        }
        if (writeText(text, bytes, from, record.size())) {
            if (!index.holdsDate(block.file, local, text.dateTime()))
                return false;
            pass = matches(text.text());
            continue;
        }
        const auto parsed = index.parseBlock(block.file, local, local + 1, record);
        if (!parsed)
            return false;
        pass = matches(parsed->front());
    }
    return true;
}

// A huge record's text is written over its own bytes, which are read for this block only and
// not parsed once it is written, so that a record of tens of megabytes costs no more memory
// again.
bool IndexedSearch::writeText(Utf8SearchText &text, QByteArray &bytes, qint64 from, qint64 length)
{
    constexpr qint64 hugeRecordBytes = qint64(1) << 20;
    if (length >= hugeRecordBytes)
        return text.writeOver(bytes.data() + from, size_t(length));
    return text.write(std::string_view(bytes.constData() + from, size_t(length)));
}

// Candidates of UTF-16 and UTF-32 files are decoded in runs, from the bytes already read: a parse
// costs more to start than a few records cost to read, so records between candidates close together
// are parsed along with them and skipped. checks: 0 ruled out, 1 to be checked, 2 passes.
bool IndexedSearch::parseCandidates(const Block &block, const QByteArray &bytes,
    const std::vector<char> &checks, std::vector<char> &passes) const
{
    constexpr size_t mostSkippedInRun = 16;
    const qint64 start = index.recordBegin(block.file, block.first);
    const auto wanted = [&](size_t local) {
        return checks[local - block.first] == 1 && passOf(passes, block.file, local);
    };
    const auto settle = [&](size_t local) {
        char &pass = passOf(passes, block.file, local);
        pass = pass && checks[local - block.first] == 2;
    };
    for (size_t local = block.first; local < block.end;) {
        if (!wanted(local)) {
            settle(local++);
            continue;
        }
        size_t runEnd = local + 1;
        for (size_t next = runEnd; next < block.end && next - runEnd <= mostSkippedInRun; ++next) {
            if (wanted(next))
                runEnd = next + 1;
        }
        const qint64 from = index.recordBegin(block.file, local) - start;
        const qint64 to = index.recordEnd(block.file, runEnd - 1) - start;
        const auto records = index.parseBlock(
            block.file, local, runEnd, QByteArrayView(bytes).sliced(from, to - from));
        if (!records)
            return false;
        for (const QarnLogParser::QarnLog &record : *records) {
            if (wanted(local))
                passOf(passes, block.file, local) = matches(record);
            else
                settle(local);
            ++local;
        }
    }
    return true;
}

// As UTF-8 wherever it can be, as the search texts of records in memory are matched: the many
// texts of a pasted list are then looked for in one pass. A needle's UTF-8 bytes occur in a
// text's exactly when the needle occurs in the text, unless the text holds an unpaired
// surrogate, which UTF-8 cannot hold.
bool IndexedSearch::matches(const QarnLogParser::QarnLog &record) const
{
    const QString text = SearchTextStore::searchTextOf(record);
    if (!QStringView(text).isValidUtf16())
        return anyOf ? matcher.anyOccursIn(QStringView(text))
                     : matcher.allOccurIn(QStringView(text));
    const QByteArray utf8 = text.toUtf8();
    return matches(std::string_view(utf8.constData(), size_t(utf8.size())));
}

bool IndexedSearch::matches(std::string_view utf8Text) const
{
    return anyOf ? matcher.anyOccursIn(utf8Text) : matcher.allOccurIn(utf8Text);
}

// Nothing unread is shown as a match.
void IndexedSearch::clearRows(
    size_t file, size_t first, size_t end, std::vector<char> &passes) const
{
    for (size_t local = first; local < end; ++local)
        passOf(passes, file, local) = 0;
}

// Blocks are handed out one at a time, so that the threads stay busy alike however the
// matches are spread.
bool IndexedSearch::narrow(std::vector<char> &passes, const std::vector<size_t> &firstRecords) const
{
    if (texts.isEmpty() || prefilters[size_t(TextEncoding::utf8)]->passesEverything())
        return true;
    const std::vector<Block> list = blocks(firstRecords);
    std::atomic<size_t> next {0};
    std::atomic<bool> complete {true};
    parallelParts(list.size(), std::min(list.size(), threadCount()), [&](size_t, size_t) {
        for (size_t block; (block = next.fetch_add(1)) < list.size();) {
            if (!narrowBlock(list[block], passes))
                complete.store(false);
        }
    });
    return complete.load();
}
