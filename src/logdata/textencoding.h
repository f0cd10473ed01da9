#pragma once

#include <QByteArray>
#include <QSysInfo>

// The encodings of a log file, as its byte-order mark tells them: none, or UTF-8's, is UTF-8.
enum class TextEncoding { utf8, utf16LE, utf16BE, utf32LE, utf32BE };

constexpr size_t textEncodingCount = 5;

// UTF-16 in this machine's byte order, whose code units can be read in place.
constexpr TextEncoding nativeUtf16
    = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TextEncoding::utf16LE : TextEncoding::utf16BE;

inline TextEncoding encodingOfMark(const QByteArray &byteOrderMark)
{
    if (byteOrderMark == QByteArrayLiteral("\xFF\xFE\x00\x00"))
        return TextEncoding::utf32LE;
    if (byteOrderMark == QByteArrayLiteral("\x00\x00\xFE\xFF"))
        return TextEncoding::utf32BE;
    if (byteOrderMark == "\xFF\xFE")
        return TextEncoding::utf16LE;
    if (byteOrderMark == "\xFE\xFF")
        return TextEncoding::utf16BE;
    return TextEncoding::utf8;
}
