#pragma once

#include "lowercaseutf8.h"
#include "taggedrecord.h"

#include <memory>
#include <string_view>

// Writes the search text of a record of a UTF-8 file straight from its bytes: exactly the UTF-8
// form of SearchTextStore::searchTextOf for the record the parser reads from them, with no field
// made. A filter then checks a record at a fraction of the cost of parsing it. Records it cannot
// write so are told, and are to be parsed: those Utf8Record cannot read, and those whose
// fields are not valid UTF-8.
class Utf8SearchText
{
public:
    Utf8SearchText() = default;
    Utf8SearchText(const Utf8SearchText &) = delete;
    Utf8SearchText &operator=(const Utf8SearchText &) = delete;

    // Writes the text of the record whose bytes, from its header line to the end of its message
    // block, are given; false when it cannot. The text is valid until the next write.
    bool write(std::string_view bytes);
    // The same over the record's bytes themselves, for a huge record: its message, when it is
    // one line, is lower-cased where it stands and the rest of the text written ahead of it, so
    // that the text takes no memory of its own. The bytes are changed only when it succeeds
    // so; otherwise it writes as write does. The text is valid while the bytes are.
    bool writeOver(char *bytes, size_t length);
    [[nodiscard]] std::string_view text() const { return written; }
    // The record's date and time, which starts its text.
    [[nodiscard]] std::string_view dateTime() const { return written.substr(0, dateTimeSize); }

private:
    bool writeFieldsBeforeMessage();
    bool appendLowered(std::string_view utf8);
    void append(std::string_view ascii);
    // Room for this many more bytes of text.
    void reserve(size_t more);

    Utf8Record record;
    LowerCaseUtf8 lowerCase;
    std::unique_ptr<char[]> buffer;
    size_t capacity = 0;
    size_t size = 0;
    size_t dateTimeSize = 0;
    std::string_view written;
};
