#include "textmatcher.h"

#include "codeunitscan.h"

#include <QtAlgorithms>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// Needles are mostly a few characters long: a loop is cheaper than a call for those.
template<typename Ch>
bool sameUnits(const Ch *a, const Ch *b, qsizetype count)
{
    if (count > 16)
        return std::memcmp(a, b, size_t(count) * sizeof(Ch)) == 0;
    for (qsizetype at = 0; at < count; ++at) {
        if (a[at] != b[at])
            return false;
    }
    return true;
}

// Two places of a pattern whose code units are compared first, at a vector's width of
// places at once; the whole pattern is compared only where both agree.
struct Probes
{
    qsizetype first = 0;
    qsizetype second = 0;
};

#if QT_COMPILER_USES(sse2)
// Whether the pattern starts at one of the places whose mask bits are set, the lowest bit
// standing for `from`.
template<typename Ch>
bool occursWhereMarked(
    uint mask, const Ch *hay, qsizetype from, const Ch *pattern, qsizetype length)
{
    for (; mask != 0; mask &= mask - 1) {
        if (sameUnits(hay + from + qCountTrailingZeroBits(mask), pattern, length))
            return true;
    }
    return false;
}
#endif

template<typename Ch>
bool contains(
    const Ch *hay, qsizetype hayLength, const Ch *pattern, qsizetype length, Probes probes)
{
    if (length == 0)
        return true;
    const qsizetype lastStart = hayLength - length;
    if (lastStart < 0)
        return false;
    const Ch first = pattern[probes.first];
    const Ch second = pattern[probes.second];
    qsizetype at = 0;
#if QT_COMPILER_USES(sse2)
    constexpr qsizetype lanes = CodeUnitScan::lanes<Ch>;
    const auto candidates = [&](qsizetype from) {
        return CodeUnitScan::equalUnits(hay + from + probes.first, first)
            & CodeUnitScan::equalUnits(hay + from + probes.second, second);
    };
    if (lastStart >= lanes - 1) {
        for (; at + lanes - 1 <= lastStart; at += lanes) {
            if (occursWhereMarked(candidates(at), hay, at, pattern, length))
                return true;
        }
        // The last places in one more step that ends with them, without those already tried.
        const qsizetype from = lastStart - (lanes - 1);
        return at <= lastStart
            && occursWhereMarked(
                candidates(from) & (~0u << (at - from)), hay, from, pattern, length);
    }
#endif
    for (; at <= lastStart; ++at) {
        if (hay[at + probes.first] == first && hay[at + probes.second] == second
            && sameUnits(hay + at, pattern, length))
            return true;
    }
    return false;
}

// Roughly how often a code unit occurs in lower-cased log text: a search compares a needle's
// rarest units first, so that common letters and blanks seldom send it to the whole needle.
int commonness(char16_t unit)
{
    constexpr std::string_view lettersByFrequency = "zqjxkvbywgpfmucdlhrsnioate ";
    if (unit >= u'0' && unit <= u'9')
        return 14;
    const size_t rank = unit < 0x80 ? lettersByFrequency.find(char(unit)) : std::string_view::npos;
    return rank == std::string_view::npos ? 0 : int(rank) + 1;
}

// The needle's rarest place, and the rarest of the others (the same for one code unit). The
// bytes of a UTF-8 sequence count as rare.
template<typename Ch>
Probes rarestPlaces(std::basic_string_view<Ch> needle)
{
    const auto rank = [&](qsizetype at) {
        return commonness(char16_t(needle[size_t(at)]));
    };
    const auto size = qsizetype(needle.size());
    Probes probes;
    for (qsizetype at = 1; at < size; ++at) {
        if (rank(at) < rank(probes.first))
            probes.first = at;
    }
    probes.second = probes.first == 0 ? std::max<qsizetype>(size - 1, 0) : 0;
    for (qsizetype at = 0; at < size; ++at) {
        if (at != probes.first && rank(at) < rank(probes.second))
            probes.second = at;
    }
    return probes;
}

} // namespace

TextMatcher::TextMatcher(QString text)
    : needle(std::move(text))
    , utf8Needle(needle.toStdString())
    , needleHasUtf8(needle.isValidUtf16())
{
    const Probes probes
        = rarestPlaces(std::u16string_view(QStringView(needle).utf16(), size_t(needle.size())));
    firstProbe = probes.first;
    secondProbe = probes.second;
    const Probes byteProbes = rarestPlaces(std::string_view(utf8Needle));
    firstByteProbe = byteProbes.first;
    secondByteProbe = byteProbes.second;
}

bool TextMatcher::occursIn(QStringView text) const
{
    return contains(text.utf16(), text.size(), QStringView(needle).utf16(), needle.size(),
        Probes {firstProbe, secondProbe});
}

bool TextMatcher::occursIn(std::string_view utf8Text) const
{
    // Half of a surrogate pair is found in the pair, as QString::contains finds it: that needs
    // the text in UTF-16. Rare enough to decode it for the purpose.
    if (!needleHasUtf8)
        return occursIn(
            QStringView(QString::fromUtf8(utf8Text.data(), qsizetype(utf8Text.size()))));
    return contains(utf8Text.data(), qsizetype(utf8Text.size()), utf8Needle.data(),
        qsizetype(utf8Needle.size()), Probes {firstByteProbe, secondByteProbe});
}
