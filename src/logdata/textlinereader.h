#pragma once

#include <QByteArray>
#include <QString>
#include <QStringConverter>

#include <optional>
#include <string_view>

class QIODevice;

// Splits a device's text into lines exactly as QTextStream::readLine does (byte-order mark,
// UTF-8/16/32, CR LF, invalid bytes), but reads in large blocks and hands out pure ASCII
// lines as bytes, so that most lines are never decoded as a whole.
class TextLineReader
{
public:
    // Reads the device from its current position, blockSize bytes at a time; does not take
    // ownership.
    explicit TextLineReader(QIODevice *device, qsizetype blockSize = 1 << 20);

    // Moves to the next line; false when the input has no more lines.
    bool readLine();

    // The current line is either ASCII bytes (asciiLine) or decoded text (textLine).
    [[nodiscard]] bool isAscii() const { return ascii; }
    [[nodiscard]] std::string_view asciiLine() const { return bytes; }
    [[nodiscard]] std::u16string_view textLine() const { return text; }
    [[nodiscard]] QString toString() const;

private:
    bool fillBuffer();
    void detectEncoding();
    bool readUtf8Line();
    bool readTextLine();
    void decodeUtf8Line(std::string_view line, bool last);

    QIODevice *device;
    qsizetype blockSize;
    QByteArray raw;
    qsizetype rawPos = 0;
    bool inputEnded = false;
    std::optional<QStringDecoder> wideDecoder;
    QString decoded;
    qsizetype decodedPos = 0;
    QString lineText;
    bool ascii = true;
    std::string_view bytes;
    std::u16string_view text;
};
