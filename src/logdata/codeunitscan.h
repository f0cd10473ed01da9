#pragma once

// Qt's SIMD header says which vector instructions the compiler may use, also for MSVC, which
// defines none of the usual macros; it includes their intrinsics.
#include <QtCore/qsimd.h>

#if QT_COMPILER_USES(sse2)

// Compares a vector's width of code units with one unit at once: shared by the parser, which
// looks for tags, and the text matcher, which looks for needles.
namespace CodeUnitScan {

// Code units in one 16-byte vector.
template<typename Ch>
constexpr qsizetype lanes = qsizetype(sizeof(__m128i) / sizeof(Ch));

// Bit i is set where the code unit at[i] equals unit, for the lanes<Ch> units at `at`.
inline uint equalUnits(const char *at, char unit)
{
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
    return uint(_mm_movemask_epi8(_mm_cmpeq_epi8(units, _mm_set1_epi8(unit))));
}

inline uint equalUnits(const char16_t *at, char16_t unit)
{
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
    const __m128i equal = _mm_cmpeq_epi16(units, _mm_set1_epi16(short(unit)));
    // Each 16-bit answer of all ones or all zeros packs into one byte of the same answer.
    return uint(_mm_movemask_epi8(_mm_packs_epi16(equal, _mm_setzero_si128())));
}

} // namespace CodeUnitScan
#endif
