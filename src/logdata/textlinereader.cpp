#include "textlinereader.h"

#include <QIODevice>

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

bool isAsciiText(std::string_view text)
{
    const char *p = text.data();
    const char *end = p + text.size();
#ifdef __SSE2__
    // Sixteen bytes at a time, the last sixteen in one more step that may overlap.
    if (text.size() >= 16) {
        const auto load = [](const char *at) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        };
        __m128i vectorBits = load(end - 16);
        for (; end - p >= 16; p += 16)
            vectorBits = _mm_or_si128(vectorBits, load(p));
        return _mm_movemask_epi8(vectorBits) == 0;
    }
#endif
    quint64 bits = 0;
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, sizeof word);
        bits |= word;
    }
    for (; p < end; ++p)
        bits |= static_cast<unsigned char>(*p);
    return (bits & 0x8080808080808080ull) == 0;
}

std::u16string_view viewOf(const QString &text, qsizetype from, qsizetype size)
{
    return {reinterpret_cast<const char16_t *>(text.constData()) + from, size_t(size)};
}

} // namespace

TextLineReader::TextLineReader(QIODevice *device, qsizetype blockSize)
    : device(device)
    , blockSize(blockSize)
{
    // The longest byte-order mark has four bytes.
    while (raw.size() < 4 && fillBuffer()) { }
    detectEncoding();
}

bool TextLineReader::readLine()
{
    return wideDecoder ? readTextLine() : readUtf8Line();
}

QString TextLineReader::toString() const
{
    if (ascii)
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

// Drops the consumed bytes and appends the next block; false once the device has no more.
bool TextLineReader::fillBuffer()
{
    if (inputEnded)
        return false;
    // The unread bytes move to the front of the same buffer. Removing them from the front
    // instead would leave room there, and the next resize would allocate a new buffer for
    // every block: fresh memory each time, and a steady churn of large blocks for the
    // allocator.
    const qsizetype kept = raw.size() - rawPos;
    char *data = raw.data();
    std::memmove(data, data + rawPos, size_t(kept));
    rawPos = 0;
    raw.resize(kept + blockSize);
    const qint64 got = device->read(raw.data() + kept, blockSize);
    raw.resize(kept + (got > 0 ? qsizetype(got) : 0));
    if (got <= 0)
        inputEnded = true;
    return got > 0;
}

// Chooses the encoding from a byte-order mark at the start of the input, as QTextStream does;
// without one the text is UTF-8.
void TextLineReader::detectEncoding()
{
    const auto encoding = QStringConverter::encodingForData(raw);
    if (encoding && *encoding != QStringConverter::Utf8) {
        wideDecoder.emplace(*encoding);
        return;
    }
    if (raw.startsWith("\xEF\xBB\xBF"))
        rawPos = 3;
}

bool TextLineReader::readUtf8Line()
{
    qsizetype scanned = 0;
    for (;;) {
        const char *start = raw.constData() + rawPos;
        const qsizetype available = raw.size() - rawPos;
        const auto *newline = static_cast<const char *>(
            std::memchr(start + scanned, '\n', size_t(available - scanned)));
        if (newline) {
            qsizetype length = newline - start;
            rawPos += length + 1;
            if (length > 0 && start[length - 1] == '\r')
                --length;
            decodeUtf8Line({start, size_t(length)}, false);
            return true;
        }
        scanned = available;
        if (!fillBuffer()) {
            if (raw.size() == rawPos)
                return false;
            const std::string_view rest(raw.constData() + rawPos, size_t(raw.size() - rawPos));
            rawPos = raw.size();
            decodeUtf8Line(rest, true);
            // A tail that decodes to nothing (an unfinished sequence) is no line at all.
            return ascii || !lineText.isEmpty();
        }
    }
}

void TextLineReader::decodeUtf8Line(std::string_view line, bool last)
{
    ascii = isAsciiText(line);
    if (ascii) {
        if (last && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        bytes = line;
        return;
    }
    // A stateless decoder turns every broken sequence into replacement characters; only at
    // the end of the input is an unfinished sequence dropped, as a streaming decoder does.
    // A byte-order mark inside the text is a character like any other.
    const QStringDecoder::Flags flags = QStringDecoder::Flag::ConvertInitialBom
        | (last ? QStringDecoder::Flag::Default : QStringDecoder::Flag::Stateless);
    QStringDecoder decoder(QStringDecoder::Utf8, flags);
    lineText = decoder.decode(QByteArrayView(line.data(), qsizetype(line.size())));
    qsizetype length = lineText.size();
    if (last && length > 0 && lineText.at(length - 1) == QLatin1Char('\r'))
        --length;
    text = viewOf(lineText, 0, length);
}

bool TextLineReader::readTextLine()
{
    ascii = false;
    qsizetype scanned = decodedPos;
    for (;;) {
        const qsizetype newline = decoded.indexOf(QLatin1Char('\n'), scanned);
        if (newline >= 0) {
            qsizetype length = newline - decodedPos;
            if (length > 0 && decoded.at(newline - 1) == QLatin1Char('\r'))
                --length;
            text = viewOf(decoded, decodedPos, length);
            decodedPos = newline + 1;
            return true;
        }
        decoded.remove(0, decodedPos);
        decodedPos = 0;
        scanned = decoded.size();
        if (rawPos == raw.size() && !fillBuffer())
            break;
        decoded += (*wideDecoder)(QByteArrayView(raw).sliced(rawPos));
        rawPos = raw.size();
    }
    if (decoded.isEmpty())
        return false;
    qsizetype length = decoded.size();
    if (decoded.at(length - 1) == QLatin1Char('\r'))
        --length;
    text = viewOf(decoded, 0, length);
    decodedPos = decoded.size();
    return true;
}
