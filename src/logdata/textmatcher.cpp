#include "textmatcher.h"

#include <QtAlgorithms>

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

#ifdef __SSE2__
__m128i splat(char c)
{
    return _mm_set1_epi8(c);
}

__m128i splat(char16_t c)
{
    return _mm_set1_epi16(short(c));
}

__m128i equal(__m128i a, __m128i b, char)
{
    return _mm_cmpeq_epi8(a, b);
}

__m128i equal(__m128i a, __m128i b, char16_t)
{
    return _mm_cmpeq_epi16(a, b);
}

template<typename Ch>
__m128i load(const Ch *at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
}
#endif

template<typename Ch>
bool sameUnits(const Ch *a, const Ch *b, qsizetype count)
{
    return std::memcmp(a, b, size_t(count) * sizeof(Ch)) == 0;
}

// Compares the pattern's first and last code units at a vector's width of places at once and
// the units between only where both agree.
template<typename Ch>
bool contains(const Ch *hay, qsizetype hayLength, const Ch *pattern, qsizetype length)
{
    if (length == 0)
        return true;
    const qsizetype lastStart = hayLength - length;
    if (lastStart < 0)
        return false;
    const Ch head = pattern[0];
    const Ch tail = pattern[length - 1];
    const qsizetype middle = std::max<qsizetype>(length - 2, 0);
    qsizetype at = 0;
#ifdef __SSE2__
    constexpr qsizetype lanes = 16 / sizeof(Ch);
    const __m128i heads = splat(head);
    const __m128i tails = splat(tail);
    for (; at + lanes - 1 <= lastStart; at += lanes) {
        const __m128i both = _mm_and_si128(
            equal(load(hay + at), heads, Ch()), equal(load(hay + at + length - 1), tails, Ch()));
        // One mask bit per byte, so a wider code unit sets several.
        for (auto mask = uint(_mm_movemask_epi8(both)); mask != 0;
             mask &= ~(((1u << sizeof(Ch)) - 1) << qCountTrailingZeroBits(mask))) {
            const qsizetype start = at + qsizetype(qCountTrailingZeroBits(mask) / sizeof(Ch));
            if (sameUnits(hay + start + 1, pattern + 1, middle))
                return true;
        }
    }
#endif
    for (; at <= lastStart; ++at) {
        if (hay[at] == head && hay[at + length - 1] == tail
            && sameUnits(hay + at + 1, pattern + 1, middle))
            return true;
    }
    return false;
}

} // namespace

TextMatcher::TextMatcher(QString text)
    : needle(std::move(text))
{
    asciiNeedle.reserve(size_t(needle.size()));
    for (const QChar c : std::as_const(needle)) {
        if (c.unicode() >= 0x80) {
            needleIsAscii = false;
            asciiNeedle.clear();
            break;
        }
        asciiNeedle.push_back(char(c.unicode()));
    }
}

bool TextMatcher::occursIn(QStringView text) const
{
    return contains(text.utf16(), text.size(), QStringView(needle).utf16(), needle.size());
}

bool TextMatcher::occursIn(std::string_view asciiText) const
{
    if (!needleIsAscii)
        return false;
    return contains(asciiText.data(), qsizetype(asciiText.size()), asciiNeedle.data(),
        qsizetype(asciiNeedle.size()));
}
