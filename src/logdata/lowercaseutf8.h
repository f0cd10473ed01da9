#pragma once

#include <QStringView>

#include <array>

// Writes text lower-cased in UTF-8 as QString::toLower().toUtf8() would, code point by code
// point, remembering the bytes of the code points outside ASCII it has met: a log uses few of
// them, and Unicode's case tables cost far more than the lookup. Not for text with an
// unpaired surrogate, whose lower case QString::toLower makes depend on its neighbours.
class LowerCaseUtf8
{
public:
    // The most bytes written per code unit of the text.
    static constexpr qsizetype maxBytesPerUnit = 4;

    // Writes the lower case of text from out and returns the end; null when the text holds an
    // unpaired surrogate (or a code point whose lower case is longer than the bound above),
    // and then what was written is to be dropped.
    char *write(QStringView text, char *out);

private:
    struct Entry
    {
        char32_t codePoint = 0;
        qsizetype size = 0; // -1: longer than the bound
        std::array<char, maxBytesPerUnit> bytes {};
    };

    const Entry &entryFor(char32_t codePoint);

    // Direct-mapped by code point; code point 0, ASCII, never enters.
    std::array<Entry, 512> entries;
};
