#include "indexedsearch.h"

#include "parallelfor.h"
#include "searchtextstore.h"

#include <atomic>

IndexedSearch::IndexedSearch(const RecordIndex &index, const QStringList &texts, bool anyOf)
    : index(index)
    , texts(texts)
    , matcher(texts)
    , anyOf(anyOf)
{ }

// Every search text holds "zzz", so these texts occur in every record.
bool IndexedSearch::everyTextIsEverywhere() const
{
    const auto everywhere = [](const QString &text) {
        return QStringLiteral("zzz").contains(text);
    };
    return anyOf ? std::any_of(texts.begin(), texts.end(), everywhere)
                 : std::all_of(texts.begin(), texts.end(), everywhere);
}

std::vector<IndexedSearch::Block> IndexedSearch::blocks() const
{
    std::vector<Block> list;
    for (size_t file = 0; file < index.fileCount(); ++file) {
        const size_t count = index.recordsInFile(file);
        for (size_t first = 0; first < count;) {
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
        wanted = passes[index.rowOf(block.file, local)] != 0;
    if (!wanted)
        return true;
    size_t read = block.first;
    const bool complete = index.readFileRecords(
        block.file, block.first, block.end, [&](size_t row, const QarnLogParser::QarnLog &record) {
            ++read;
            if (!passes[row])
                return;
            const QString text = SearchTextStore::searchTextOf(record);
            passes[row] = anyOf ? matcher.anyOccursIn(QStringView(text))
                                : matcher.allOccurIn(QStringView(text));
        });
    for (size_t local = read; local < block.end; ++local)
        passes[index.rowOf(block.file, local)] = 0;
    return complete;
}

// Blocks are handed out one at a time, so that the threads stay busy alike however the
// matches are spread.
bool IndexedSearch::narrow(std::vector<char> &passes) const
{
    if (texts.isEmpty() || everyTextIsEverywhere())
        return true;
    const std::vector<Block> list = blocks();
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
