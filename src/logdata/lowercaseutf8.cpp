#include "lowercaseutf8.h"

#include <QByteArray>
#include <QString>
#include <QtCore/qsimd.h>

#include <algorithm>

char *LowerCaseUtf8::write(QStringView text, char *out)
{
    const qsizetype size = text.size();
    for (qsizetype at = 0; at < size; ++at) {
        const char16_t unit = text[at].unicode();
        if (unit < 0x80) {
            *out++ = char(unit + (char16_t(unit - u'A') < 26 ? 0x20 : 0));
            continue;
        }
        char32_t codePoint = unit;
        qsizetype units = 1;
        if (QChar::isSurrogate(unit)) {
            if (!QChar::isHighSurrogate(unit) || at + 1 == size
                || !QChar::isLowSurrogate(text[at + 1].unicode()))
                return nullptr;
            codePoint = QChar::surrogateToUcs4(unit, text[++at].unicode());
            units = 2;
        }
        out = writeEntry(codePoint, units, out);
        if (!out)
            return nullptr;
    }
    return out;
}

namespace {

// Decodes the UTF-8 sequence at text[at] (a lead byte of 0x80 or more) as QStringDecoder reads
// valid UTF-8, moving at past it; 0 for anything it would replace: a stray continuation byte, an
// overlong form, a surrogate, a code point past U+10FFFF or a sequence cut short.
char32_t decodeSequence(std::string_view text, size_t &at)
{
    const auto lead = uchar(text[at]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > text.size())
        return 0;
    char32_t codePoint = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = uchar(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[length] || codePoint > 0x10FFFF || QChar::isSurrogate(codePoint))
        return 0;
    at += length;
    return codePoint;
}

#if QT_COMPILER_USES(sse2)
// Lower-cases 16 bytes at once while they are ASCII; returns how many it wrote.
size_t writeAsciiVectors(std::string_view text, char *out)
{
    constexpr size_t width = sizeof(__m128i);
    // 'A'..'Z' moved to the bottom of the signed bytes, below every other ASCII byte.
    const __m128i shift = _mm_set1_epi8(char(0x80 - 'A'));
    const __m128i upperEnd = _mm_set1_epi8(char(0x80 + 26));
    const __m128i caseBit = _mm_set1_epi8(0x20);
    size_t at = 0;
    for (; at + width <= text.size(); at += width) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + at));
        if (_mm_movemask_epi8(bytes) != 0)
            break;
        const __m128i upper = _mm_cmplt_epi8(_mm_add_epi8(bytes, shift), upperEnd);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + at),
            _mm_add_epi8(bytes, _mm_and_si128(upper, caseBit)));
    }
    return at;
}

// How many bytes the text starts with that are ASCII, counted 16 at a time.
size_t asciiVectorsLength(std::string_view text)
{
    constexpr size_t width = sizeof(__m128i);
    size_t at = 0;
    while (at + width <= text.size()
        && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + at)))
            == 0)
        at += width;
    return at;
}
#else
size_t asciiVectorsLength(std::string_view)
{
    return 0;
}

// Without SSE2 every byte is lower-cased on its own.
size_t writeAsciiVectors(std::string_view, char *)
{
    return 0;
}
#endif

} // namespace

char *LowerCaseUtf8::write(std::string_view utf8, char *out)
{
    for (size_t at = 0; at < utf8.size();) {
        const size_t ascii = writeAsciiVectors(utf8.substr(at), out);
        at += ascii;
        out += ascii;
        if (at == utf8.size())
            break;
        const auto byte = uchar(utf8[at]);
        if (byte < 0x80) {
            *out++ = char(byte + (uchar(byte - 'A') < 26 ? 0x20 : 0));
            ++at;
            continue;
        }
        const char32_t codePoint = decodeSequence(utf8, at);
        if (codePoint == 0)
            return nullptr;
        out = writeEntry(codePoint, QChar::requiresSurrogates(codePoint) ? 2 : 1, out);
        if (!out)
            return nullptr;
    }
    return out;
}

bool LowerCaseUtf8::lowersInPlace(std::string_view utf8)
{
    for (size_t at = 0; at < utf8.size();) {
        at += asciiVectorsLength(utf8.substr(at));
        if (at == utf8.size())
            break;
        const size_t from = at;
        if (uchar(utf8[at]) < 0x80) {
            ++at;
            continue;
        }
        const char32_t codePoint = decodeSequence(utf8, at);
        if (codePoint == 0)
            return false;
        const Entry &entry = entryFor(codePoint);
        if (entry.size < 0 || size_t(entry.size) > at - from)
            return false;
    }
    return true;
}

char *LowerCaseUtf8::writeEntry(char32_t codePoint, qsizetype units, char *out)
{
    const Entry &entry = entryFor(codePoint);
    if (entry.size < 0 || entry.size > units * maxBytesPerUnit)
        return nullptr;
    return std::copy_n(entry.bytes.data(), entry.size, out);
}

const LowerCaseUtf8::Entry &LowerCaseUtf8::entryFor(char32_t codePoint)
{
    Entry &entry = entries[codePoint % entries.size()];
    if (entry.codePoint != codePoint) {
        // Not QString::fromUcs4, which would drop a byte-order mark.
        const QByteArray lower
            = QStringView(QChar::fromUcs4(codePoint)).toString().toLower().toUtf8();
        const bool fits = lower.size() <= qsizetype(entry.bytes.size());
        entry.size = fits ? lower.size() : -1;
        std::copy_n(lower.constData(), fits ? lower.size() : 0, entry.bytes.data());
        entry.codePoint = codePoint;
    }
    return entry;
}
