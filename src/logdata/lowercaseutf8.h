#pragma once

#include <QStringView>

#include <array>
#include <string_view>

// Writes text lower-cased in UTF-8 as QString::toLower().toUtf8() would, code point by code
// point, remembering the bytes of the code points outside ASCII it has met: a log uses few of
// them, and Unicode's case tables cost far more than the lookup. Not for text with an
// unpaired surrogate, whose lower case QString::toLower makes depend on its neighbours.
class LowerCaseUtf8
{
public:
    // The most bytes written per code unit of the text.
    static constexpr qsizetype maxBytesPerUnit = 4;
    // The most bytes written per byte of UTF-8 text.
    static constexpr size_t maxGrowth = 2;

    // Writes the lower case of text from out and returns the end; null when the text holds an
    // unpaired surrogate (or a code point whose lower case is longer than the bound above),
    // and then what was written is to be dropped.
    char *write(QStringView text, char *out);
    // The same for text given in UTF-8; null also when it is not valid UTF-8, whose decoded
    // form (with replacement characters) the bytes do not spell. Writes at most maxGrowth
    // times as many bytes as it reads: a code point outside ASCII takes two bytes or more, and
    // its lower case is written only when it fits four.
    char *write(std::string_view utf8, char *out);
    // Whether write can lower-case the UTF-8 text over itself: it is valid, and no code
    // point's lower case takes more bytes than the code point.
    bool lowersInPlace(std::string_view utf8);

private:
    struct Entry
    {
        char32_t codePoint = 0;
        qsizetype size = 0; // -1: longer than the bound
        std::array<char, maxBytesPerUnit> bytes {};
    };

    const Entry &entryFor(char32_t codePoint);
    // Copies the lower case of a code point whose UTF-8 form took `units` UTF-16 units' worth
    // of room; null when it does not fit the bound.
    char *writeEntry(char32_t codePoint, qsizetype units, char *out);

    // Direct-mapped by code point; code point 0, ASCII, never enters.
    std::array<Entry, 512> entries;
};
