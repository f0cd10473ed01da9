#include "paralleltextfinder.h"

#include <QtAlgorithms>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Rows per piece of work: large enough that handing out pieces costs nothing, small enough
// that a match near the start ends the search soon.
constexpr qsizetype chunkRows = 8192;

bool sameCodeUnits(const char16_t *a, const char16_t *b, qsizetype count)
{
    return std::memcmp(a, b, size_t(count) * sizeof(char16_t)) == 0;
}

// Lowers found to position unless it is already lower.
void offer(std::atomic<qsizetype> &found, qsizetype position)
{
    qsizetype current = found.load();
    while (position < current && !found.compare_exchange_weak(current, position)) { }
}

} // namespace

ParallelTextFinder::ParallelTextFinder(QString text)
    : needle(std::move(text))
{ }

qsizetype ParallelTextFinder::findFirst(const std::vector<QString> &texts,
    const std::vector<int> &rows, qsizetype begin, qsizetype end) const
{
    if (end - begin <= chunkRows)
        return findInRange(texts, rows, begin, end);
    // Pieces are handed out in ascending order, so once a match is known no later piece
    // needs to be searched; every earlier piece is still finished by whoever took it.
    std::atomic<qsizetype> nextPiece {begin};
    std::atomic<qsizetype> found {end};
    const auto work = [&] {
        for (;;) {
            const qsizetype from = nextPiece.fetch_add(chunkRows);
            if (from >= end || from >= found.load())
                return;
            const qsizetype hit = findInRange(texts, rows, from, std::min(from + chunkRows, end));
            if (hit >= 0) {
                offer(found, hit);
                return;
            }
        }
    };
    std::future<void> helper;
    if (std::thread::hardware_concurrency() > 1) {
        try {
            helper = std::async(std::launch::async, work);
        } catch (const std::system_error &) {
            // No thread to spare: this thread searches alone.
        }
    }
    work();
    if (helper.valid())
        helper.wait();
    return found.load() < end ? found.load() : -1;
}

qsizetype ParallelTextFinder::findInRange(const std::vector<QString> &texts,
    const std::vector<int> &rows, qsizetype begin, qsizetype end) const
{
    for (qsizetype i = begin; i < end; ++i) {
        if (matches(texts[size_t(rows[size_t(i)])]))
            return i;
    }
    return -1;
}

// Compares the first and the last code unit of the needle at eight places at once and checks
// the rest only where both agree.
bool ParallelTextFinder::matches(QStringView text) const
{
    const qsizetype length = needle.size();
    if (length <= 1)
        return length == 0 || text.contains(needle.front());
    const qsizetype lastStart = text.size() - length;
    if (lastStart < 0)
        return false;
    const char16_t *hay = text.utf16();
    const char16_t *pattern = QStringView(needle).utf16();
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi16(short(pattern[0]));
    const __m128i last = _mm_set1_epi16(short(pattern[length - 1]));
    for (; i + 8 <= lastStart + 1; i += 8) {
        const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i));
        const __m128i ends
            = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i + length - 1));
        auto mask = uint(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi16(starts, first), _mm_cmpeq_epi16(ends, last))));
        while (mask != 0) {
            const uint bit = qCountTrailingZeroBits(mask);
            if (sameCodeUnits(hay + i + bit / 2 + 1, pattern + 1, length - 2))
                return true;
            mask &= ~(3u << bit);
        }
    }
#endif
    for (; i <= lastStart; ++i) {
        if (hay[i] == pattern[0] && sameCodeUnits(hay + i + 1, pattern + 1, length - 1))
            return true;
    }
    return false;
}
