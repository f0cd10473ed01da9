#include "textlinereader.h"

#include <QIODevice>
#include <QtCore/qsimd.h>

#include <algorithm>
#include <cstring>

bool TextLineReader::isAsciiText(std::string_view text)
{
    const char *p = text.data();
    const char *end = p + text.size();
#if QT_COMPILER_USES(sse2)
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

namespace {

// Appends text to end, keeping only its last units.
template<typename Text, typename View>
void keepLast(Text &end, View text, qsizetype kept)
{
    if (text.size() >= kept)
        end.clear();
    end.append(text.last(std::min(kept, text.size())));
    if (end.size() > kept)
        end.remove(0, end.size() - kept);
}

std::u16string_view viewOf(const QString &text, qsizetype from, qsizetype size)
{
    return {reinterpret_cast<const char16_t *>(text.constData()) + from, size_t(size)};
}

} // namespace

TextLineReader::TextLineReader(
    QIODevice *device, qsizetype blockSize, qsizetype maxLineBytes, Start start)
    : device(device)
    , blockSize(blockSize)
    , maxLineBytes(std::max<qsizetype>(maxLineBytes, 4))
{
    if (start == Start::insideUtf8)
        return;
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
    totalRead += std::max<qint64>(got, 0);
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
        const bool utf32 = *encoding == QStringConverter::Utf32LE
            || *encoding == QStringConverter::Utf32BE || *encoding == QStringConverter::Utf32;
        bytesPerUnit = utf32 ? 4 : 2;
        bom = raw.first(std::min<qsizetype>(raw.size(), bytesPerUnit));
        decodedOffset = bom.size();
        return;
    }
    if (raw.startsWith("\xEF\xBB\xBF")) {
        rawPos = 3;
        bom = QByteArrayLiteral("\xEF\xBB\xBF");
    }
}

// The unread bytes of UTF-8 text are those of the buffer; decoded text keeps its own count.
qint64 TextLineReader::unreadOffset() const
{
    // A decoder may make a unit of an unfinished one at the end, which has fewer bytes.
    if (wideDecoder)
        return std::min(decodedOffset, totalRead);
    return totalRead - (raw.size() - rawPos);
}

// A UTF-16 unit is two bytes; a UTF-32 code point four, and two units when it is a pair.
qint64 TextLineReader::bytesOfDecoded(qsizetype from, qsizetype units) const
{
    if (bytesPerUnit == 2)
        return 2 * qint64(units);
    qint64 pairs = 0;
    const QChar *text = decoded.constData() + from;
    for (qsizetype i = 0; i + 1 < units; ++i) {
        if (text[i].isHighSurrogate() && text[i + 1].isLowSurrogate()) {
            ++pairs;
            ++i;
        }
    }
    return 4 * (qint64(units) - pairs);
}

void TextLineReader::consumeDecoded(qsizetype units)
{
    decodedOffset += bytesOfDecoded(decodedPos, units);
    decodedPos += units;
}

bool TextLineReader::readUtf8Line()
{
    cutBytes = 0;
    lineStart = unreadOffset();
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
            decodeUtf8Line(limitedUtf8({start, size_t(length)}), false);
            return true;
        }
        scanned = available;
        // One more byte may be the carriage return of a line just at the limit.
        if (available > maxLineBytes + 1)
            return readCutUtf8Line();
        if (!fillBuffer()) {
            if (raw.size() == rawPos)
                return false;
            const std::string_view rest(raw.constData() + rawPos, size_t(raw.size() - rawPos));
            rawPos = raw.size();
            decodeUtf8Line(limitedUtf8(rest), true);
            // A tail that decodes to nothing (an unfinished sequence) is no line at all.
            return ascii || !lineText.isEmpty();
        }
    }
}

// The end of the longest start of a text (longer than the limit) that stays within the limit
// and ends on a whole UTF-8 sequence.
qsizetype TextLineReader::utf8Boundary(const char *text) const
{
    qsizetype keep = maxLineBytes;
    while (keep > maxLineBytes - 3 && (uchar(text[keep]) & 0xC0) == 0x80)
        --keep;
    return keep;
}

// Moves the end of a cut line, from its first whole sequence, to follow the kept start, so
// that tags at the end of a long line (a closing tag, above all) still count; returns the
// length of the line as it is kept.
template<typename Unit, typename IsContinuation>
qsizetype TextLineReader::keepLineEnd(
    Unit *line, qsizetype keep, qsizetype length, IsContinuation isContinuation) const
{
    qsizetype from = std::max(keep, length - keptEndUnits<Unit>());
    while (from < length && isContinuation(line[from]))
        ++from;
    std::copy(line + from, line + length, line + keep);
    return keep + (length - from);
}

std::string_view TextLineReader::limitedUtf8(std::string_view line)
{
    if (qsizetype(line.size()) <= maxLineBytes)
        return line;
    cutBytes = qint64(line.size());
    char *start = raw.data() + (line.data() - raw.constData());
    return {start, size_t(keepUtf8LineEnd(start, utf8Boundary(start), qsizetype(line.size())))};
}

qsizetype TextLineReader::keepUtf8LineEnd(char *line, qsizetype keep, qsizetype length) const
{
    return keepLineEnd(line, keep, length, [](char c) { return (uchar(c) & 0xC0) == 0x80; });
}

// The current line has no end within the limit: keeps its first bytes up to the limit, ending
// on a whole UTF-8 sequence, and its last bytes, and skips the rest without keeping it.
bool TextLineReader::readCutUtf8Line()
{
    const qsizetype keep = utf8Boundary(raw.constData() + rawPos);
    qint64 skipped = raw.size() - rawPos - keep;
    // One unit more for a carriage return, which is not part of the line.
    QByteArray end = raw.sliced(rawPos + keep).right(keptEndUnits<char>() + 1);
    raw.truncate(rawPos + keep);
    QByteArray block(blockSize, Qt::Uninitialized);
    QByteArray rest;
    while (!inputEnded) {
        const qint64 got = device->read(block.data(), blockSize);
        if (got <= 0) {
            inputEnded = true;
            break;
        }
        totalRead += got;
        const auto *newline
            = static_cast<const char *>(std::memchr(block.data(), '\n', size_t(got)));
        const qsizetype length = newline ? newline - block.constData() : qsizetype(got);
        skipped += length;
        keepLast(end, QByteArrayView(block.constData(), length), keptEndUnits<char>() + 1);
        if (newline) {
            rest = QByteArray(newline + 1, block.constData() + got - (newline + 1));
            break;
        }
    }
    if (end.endsWith('\r')) {
        end.chop(1);
        --skipped;
    }
    cutBytes = keep + skipped;
    raw += end;
    const qsizetype length = keepUtf8LineEnd(raw.data() + rawPos, keep, raw.size() - rawPos);
    raw.truncate(rawPos + length);
    raw += rest;
    decodeUtf8Line({raw.constData() + rawPos, size_t(length)}, false);
    rawPos += length;
    return true;
}

void TextLineReader::decodeUtf8Line(std::string_view line, bool last)
{
    ascii = undecoded || isAsciiText(line);
    if (ascii) {
        undecodedLine = line;
        lastLine = last;
        if (last) {
            line.remove_suffix(unfinishedEndBytes(line));
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
        }
        bytes = line;
        return;
    }
    text = decodeLine(line, last);
}

// The bytes of an unfinished sequence that ends the input, which decoding drops (and then a
// carriage return before them): at most three, found by decoding the last three both ways,
// so that the bytes handed out undecoded hold what the decoded text holds.
size_t TextLineReader::unfinishedEndBytes(std::string_view line)
{
    if (line.empty() || uchar(line.back()) < 0x80)
        return 0;
    const std::string_view tail = line.substr(line.size() - std::min<size_t>(3, line.size()));
    const auto decoded = [](std::string_view bytes, QStringDecoder::Flags flags) {
        QStringDecoder decoder(
            QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom | flags);
        return QString(decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size()))));
    };
    const QString kept = decoded(tail, QStringDecoder::Flag::Default);
    size_t dropped = 0;
    while (dropped < tail.size()
        && decoded(tail.substr(0, tail.size() - dropped), QStringDecoder::Flag::Stateless) != kept)
        ++dropped;
    return dropped;
}

// A stateless decoder turns every broken sequence into replacement characters; only at the end
// of the input is an unfinished sequence dropped, as a streaming decoder does. A byte-order
// mark inside the text is a character like any other.
std::u16string_view TextLineReader::decodeLine(std::string_view line, bool last)
{
    const QStringDecoder::Flags flags = QStringDecoder::Flag::ConvertInitialBom
        | (last ? QStringDecoder::Flag::Default : QStringDecoder::Flag::Stateless);
    QStringDecoder decoder(QStringDecoder::Utf8, flags);
    lineText = decoder.decode(QByteArrayView(line.data(), qsizetype(line.size())));
    qsizetype length = lineText.size();
    if (last && length > 0 && lineText.at(length - 1) == QLatin1Char('\r'))
        --length;
    return viewOf(lineText, 0, length);
}

QString TextLineReader::decodedLine()
{
    if (!ascii)
        return toString();
    const std::u16string_view line = decodeLine(undecodedLine, lastLine);
    return QString(reinterpret_cast<const QChar *>(line.data()), qsizetype(line.size()));
}

bool TextLineReader::readTextLine()
{
    ascii = false;
    cutBytes = 0;
    lineStart = unreadOffset();
    qsizetype scanned = decodedPos;
    for (;;) {
        const qsizetype newline = decoded.indexOf(QLatin1Char('\n'), scanned);
        if (newline >= 0) {
            qsizetype length = newline - decodedPos;
            if (length > 0 && decoded.at(newline - 1) == QLatin1Char('\r'))
                --length;
            text = viewOf(decoded, decodedPos, limitedUnits(decodedPos, length));
            consumeDecoded(newline + 1 - decodedPos);
            return true;
        }
        decoded.remove(0, decodedPos);
        decodedPos = 0;
        scanned = decoded.size();
        if (decoded.size() > maxLineUnits() + 1)
            return readCutTextLine();
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
    text = viewOf(decoded, 0, limitedUnits(0, length));
    consumeDecoded(decoded.size());
    return true;
}

// The length of the decoded line at from as it is kept: within the limit, not splitting a
// surrogate pair, with its last units moved to follow the kept start.
qsizetype TextLineReader::limitedUnits(qsizetype from, qsizetype length)
{
    if (length <= maxLineUnits())
        return length;
    cutBytes = 2 * qint64(length);
    const qsizetype keep
        = maxLineUnits() - (decoded.at(from + maxLineUnits()).isLowSurrogate() ? 1 : 0);
    return keepTextLineEnd(from, keep, length);
}

qsizetype TextLineReader::keepTextLineEnd(qsizetype from, qsizetype keep, qsizetype length)
{
    return keepLineEnd(
        decoded.data() + from, keep, length, [](QChar unit) { return unit.isLowSurrogate(); });
}

// As readCutUtf8Line, for decoded text.
bool TextLineReader::readCutTextLine()
{
    // The bytes of the whole line and its line feed, for the offsets.
    qint64 lineBytes = bytesOfDecoded(0, decoded.size());
    const qsizetype keep = maxLineUnits() - (decoded.at(maxLineUnits()).isLowSurrogate() ? 1 : 0);
    qint64 skipped = decoded.size() - keep;
    // One unit more for a carriage return, which is not part of the line.
    QString end = decoded.sliced(keep).right(keptEndUnits<QChar>() + 1);
    decoded.truncate(keep);
    QString rest;
    while (rawPos < raw.size() || fillBuffer()) {
        const QString more = (*wideDecoder)(QByteArrayView(raw).sliced(rawPos));
        rawPos = raw.size();
        const qsizetype newline = more.indexOf(QLatin1Char('\n'));
        const qsizetype length = newline >= 0 ? newline : more.size();
        skipped += length;
        keepLast(end, QStringView(more).first(length), keptEndUnits<QChar>() + 1);
        lineBytes += qint64(bytesPerUnit) * (length + (newline >= 0 ? 1 : 0));
        if (newline >= 0) {
            rest = more.sliced(newline + 1);
            break;
        }
    }
    if (end.endsWith(QLatin1Char('\r'))) {
        end.chop(1);
        --skipped;
    }
    cutBytes = 2 * (keep + skipped);
    decoded += end;
    const qsizetype length = keepTextLineEnd(0, keep, decoded.size());
    decoded.truncate(length);
    decoded += rest;
    text = viewOf(decoded, 0, length);
    decodedPos = length;
    decodedOffset += lineBytes;
    return true;
}
