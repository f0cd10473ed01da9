#include "prefiltercache.h"

#include <QMutex>

#include <algorithm>
#include <vector>

namespace {

struct Entry
{
    QStringList texts;
    bool anyOf;
    TextEncoding encoding;
    std::shared_ptr<const TextPrefilter> prefilter;
};

// A few filters in several encodings; each holds a compiled database of its texts.
constexpr size_t keptEntries = 8;

QMutex lock;
// The most recently asked for last.
std::vector<Entry> entries;

} // namespace

// Made outside the lock, so that a short filter never waits for a long list to compile; two
// threads that miss together both make it, and the later one is kept.
std::shared_ptr<const TextPrefilter> PrefilterCache::of(
    const QStringList &loweredTexts, bool anyOf, TextEncoding encoding)
{
    const auto same = [&](const Entry &entry) {
        return entry.anyOf == anyOf && entry.encoding == encoding && entry.texts == loweredTexts;
    };
    QMutexLocker locker(&lock);
    auto found = std::find_if(entries.begin(), entries.end(), same);
    if (found == entries.end()) {
        locker.unlock();
        auto made = std::make_shared<const TextPrefilter>(loweredTexts, anyOf, encoding);
        locker.relock();
        found = std::find_if(entries.begin(), entries.end(), same);
        if (found == entries.end()) {
            if (entries.size() == keptEntries)
                entries.erase(entries.begin());
            entries.push_back({loweredTexts, anyOf, encoding, std::move(made)});
            return entries.back().prefilter;
        }
    }
    std::rotate(found, found + 1, entries.end());
    return entries.back().prefilter;
}
