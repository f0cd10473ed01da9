#pragma once

#include <QByteArray>
#include <QString>
#include <QStringConverter>

#include <algorithm>
#include <optional>
#include <string_view>

class QIODevice;

// Splits a device's text into lines exactly as QTextStream::readLine does (byte-order mark,
// UTF-8/16/32, CR LF, invalid bytes), but reads in large blocks and hands out pure ASCII
// lines as bytes, so that most lines are never decoded as a whole. A line longer than the
// limit is cut to it, so that no input can take memory without bound.
class TextLineReader
{
public:
    // Lines are cut past this many bytes of text (of UTF-16 text for UTF-16 and UTF-32 files).
    static constexpr qsizetype defaultMaxLineBytes = qsizetype(64) << 20;

    // Where the device's bytes start: at the start of a text, which may begin with a byte-order
    // mark, or somewhere inside UTF-8 text, where bytes that look like a mark are text.
    enum class Start { textStart, insideUtf8 };

    // Reads the device from its current position, blockSize bytes at a time; does not take
    // ownership.
    explicit TextLineReader(QIODevice *device, qsizetype blockSize = 1 << 20,
        qsizetype maxLineBytes = defaultMaxLineBytes, Start start = Start::textStart);

    // From now on UTF-8 lines are handed out as their bytes, undecoded, through asciiLine,
    // for a reader that only looks for ASCII tags: a tag occurs in the bytes exactly where it
    // occurs in the decoded text. UTF-16 and UTF-32 text is still decoded.
    void keepUtf8Undecoded() { undecoded = true; }

    // Moves to the next line; false when the input has no more lines.
    bool readLine();
    // Byte offsets from where the reader started: of the current line's first byte, and of
    // the first byte after it (past its line feed). In UTF-32 text with a surrogate code
    // point of its own the offsets are not exact (no log writer makes such text).
    [[nodiscard]] qint64 lineOffset() const { return lineStart; }
    [[nodiscard]] qint64 nextLineOffset() const { return unreadOffset(); }
    // The byte-order mark that starts the input, empty when there is none.
    [[nodiscard]] QByteArray byteOrderMark() const { return bom; }
    // The whole length in bytes of the current line if it was cut, else 0.
    [[nodiscard]] qint64 cutLineBytes() const { return cutBytes; }

    // How much of the end of a cut line is kept: enough for the tags that close it.
    template<typename Unit>
    [[nodiscard]] qsizetype keptEndUnits() const
    {
        return std::min<qsizetype>(256, maxLineBytes / 4) / qsizetype(sizeof(Unit));
    }

    // Whether bytes are all ASCII, looked at 16 at a time.
    [[nodiscard]] static bool isAsciiText(std::string_view text);

    // The current line is either ASCII bytes (asciiLine) or decoded text (textLine).
    [[nodiscard]] bool isAscii() const { return ascii; }
    [[nodiscard]] std::string_view asciiLine() const { return bytes; }
    [[nodiscard]] std::u16string_view textLine() const { return text; }
    [[nodiscard]] QString toString() const;
    // The current line decoded, also when it was kept undecoded.
    [[nodiscard]] QString decodedLine();

private:
    bool fillBuffer();
    void detectEncoding();
    bool readUtf8Line();
    bool readCutUtf8Line();
    bool readTextLine();
    bool readCutTextLine();
    void decodeUtf8Line(std::string_view line, bool last);
    std::u16string_view decodeLine(std::string_view line, bool last);
    [[nodiscard]] static size_t unfinishedEndBytes(std::string_view line);
    [[nodiscard]] qsizetype utf8Boundary(const char *text) const;
    std::string_view limitedUtf8(std::string_view line);
    [[nodiscard]] qsizetype maxLineUnits() const { return maxLineBytes / 2; }
    [[nodiscard]] qint64 unreadOffset() const;
    void consumeDecoded(qsizetype units);
    [[nodiscard]] qint64 bytesOfDecoded(qsizetype from, qsizetype units) const;
    qsizetype limitedUnits(qsizetype from, qsizetype length);
    template<typename Unit, typename IsContinuation>
    qsizetype keepLineEnd(
        Unit *line, qsizetype keep, qsizetype length, IsContinuation isContinuation) const;
    qsizetype keepUtf8LineEnd(char *line, qsizetype keep, qsizetype length) const;
    qsizetype keepTextLineEnd(qsizetype from, qsizetype keep, qsizetype length);

    QIODevice *device;
    qsizetype blockSize;
    qsizetype maxLineBytes;
    qint64 cutBytes = 0;
    qint64 lineStart = 0;
    // Bytes read from the device, and for decoded text the offset of its first unread unit.
    qint64 totalRead = 0;
    qint64 decodedOffset = 0;
    int bytesPerUnit = 1;
    QByteArray bom;
    QByteArray raw;
    qsizetype rawPos = 0;
    bool inputEnded = false;
    std::optional<QStringDecoder> wideDecoder;
    QString decoded;
    qsizetype decodedPos = 0;
    QString lineText;
    bool ascii = true;
    bool undecoded = false;
    // The current undecoded line as read, and whether it is the input's last.
    std::string_view undecodedLine;
    bool lastLine = false;
    std::string_view bytes;
    std::u16string_view text;
};
